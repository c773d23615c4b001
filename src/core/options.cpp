#include "core/options.h"

#include <cstdlib>

namespace orvo {

// Asked for every note the piano sends, so it must not allocate.
bool ButtonKeys::isCommandKey(int key) const {
  return key == hear || key == notes || key == next || key == back || key == talk || key == pause ||
         key == compose || key == help || key == keep || key == home;
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
