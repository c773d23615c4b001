#include "core/options.h"

#include <algorithm>
#include <cstdlib>

namespace orvo {

bool ButtonKeys::isCommandKey(int key) const {
  auto keys = commandKeys();
  return std::find(keys.begin(), keys.end(), key) != keys.end();
}

std::filesystem::path dataFolder() {
  auto env = [](const char* name) -> std::string {
    const char* value = std::getenv(name);
    return value ? value : "";
  };
  if (auto home = env("ORVO_HOME"); !home.empty()) return home;
  std::filesystem::path userHome = env("HOME");
  if (userHome.empty()) userHome = ".";
#ifdef __APPLE__
  return userHome / "Library/Application Support/Orvo";
#else
  if (auto xdg = env("XDG_DATA_HOME"); !xdg.empty() && xdg.front() == '/') {
    return std::filesystem::path(xdg) / "orvo";
  }
  return userHome / ".local/share/orvo";
#endif
}

}  // namespace orvo
