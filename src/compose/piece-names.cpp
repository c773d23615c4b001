#include "compose/piece-names.h"

#include "platform/files.h"
#include "platform/local-time.h"
#include "platform/utf8.h"

namespace orvo {

std::string ideaStem(double secondsSince1970, const std::string& keyName) {
  return "idea " + formatLocalTime(localTm(secondsSince1970), "%Y-%m-%d %H.%M.%S") + " " + keyName;
}

std::string cleanPieceName(const std::string& typed) {
  // Invalid sequences come back as U+FFFD, which a name has no use for.
  const std::string replacement = "\xEF\xBF\xBD";
  std::string valid = repairUtf8(typed);
  std::string name;
  name.reserve(valid.size());
  for (std::size_t i = 0; i < valid.size(); ++i) {
    if (valid.compare(i, replacement.size(), replacement) == 0 &&
        typed.find(replacement) == std::string::npos) {
      i += replacement.size() - 1;
      continue;
    }
    char c = valid[i];
    if (c == '/' || c == ':' || c == '\\' || c == '\n' || c == '\r') c = ' ';
    // Other control bytes (a tab, a stray escape) would be invisible in a file name.
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    name.push_back(c);
  }
  name = files::trim(name);
  // A leading dot would hide the file; ".." would not be a file at all.
  while (!name.empty() && name.front() == '.') name = files::trim(name.substr(1));
  return files::trim(cutUtf8(name, maxPieceNameBytes));
}

}  // namespace orvo
