#include "apps/spoken-list.h"

#include "platform/utf8.h"

namespace orvo {

std::string spokenList(const std::vector<std::string>& items, int limit) {
  const std::size_t shown = std::min<std::size_t>(items.size(), limit < 1 ? 1 : limit);
  std::vector<std::string> parts(items.begin(), items.begin() + shown);
  if (shown < items.size()) parts.push_back(std::to_string(items.size() - shown) + " more");
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += i + 1 == parts.size() ? ", and " : ", ";
    out += parts[i];
  }
  return out;
}

std::string spokenText(const std::string& raw) {
  std::string out;
  for (char c : repairUtf8(raw)) {
    bool space = static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == ' ';
    if (!space) {
      out.push_back(c);
    } else if (!out.empty() && out.back() != ' ') {
      out.push_back(' ');
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::string spokenName(const std::string& raw) {
  // Accelerator text follows a tab.
  std::string out = spokenText(raw.substr(0, raw.find('\t')));
  auto dropEnd = [&](const std::string& tail) {
    if (out.size() >= tail.size() && out.compare(out.size() - tail.size(), tail.size(), tail) == 0)
      out.erase(out.size() - tail.size());
  };
  dropEnd("\xE2\x80\xA6");  // …
  dropEnd("...");
  dropEnd(" ");
  return out;
}

}  // namespace orvo
