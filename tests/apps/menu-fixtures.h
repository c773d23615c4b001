#pragma once
// The menu trees kept as fixtures: one line per item, its path with " > "
// between the names, then a TAB and "disabled" for a greyed-out item. The
// Logic-like tree is also a pretend app file (its other lines are skipped).

#include <filesystem>
#include <string>
#include <vector>

#include "apps/access-backend.h"
#include "platform/files.h"

namespace orvo::testing {

inline std::filesystem::path menuFixture(const std::string& name) {
  return std::filesystem::path(ORVO_SOURCE_DIR) / "tests/apps/fixtures" / name;
}

inline std::vector<MenuEntry> menuEntries(const std::string& name) {
  std::vector<MenuEntry> entries;
  std::string text = files::readFile(menuFixture(name)).value_or("");
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    std::string line = text.substr(at, end - at);
    at = end == std::string::npos ? text.size() : end + 1;
    if (line.rfind("menu\t", 0) == 0) line.erase(0, 5);
    if (line.find(" > ") == std::string::npos) continue;
    MenuEntry entry;
    std::size_t tab = line.find('\t');
    entry.enabled = tab == std::string::npos;
    line = line.substr(0, tab);
    for (std::size_t from = 0;;) {
      std::size_t next = line.find(" > ", from);
      entry.path.push_back(line.substr(from, next - from));
      if (next == std::string::npos) break;
      from = next + 3;
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

inline std::string joinedPath(const MenuEntry& entry) {
  std::string out;
  for (const auto& name : entry.path) out += (out.empty() ? "" : " > ") + name;
  return out;
}

}  // namespace orvo::testing
