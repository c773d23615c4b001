#include "platform/places.h"

namespace orvo {

std::filesystem::path dataFolder() {
  if (auto home = environment("ORVO_HOME"); !home.empty()) return home;
  if (auto xdg = environment("XDG_DATA_HOME"); !xdg.empty() && xdg.front() == '/') {
    return std::filesystem::path(xdg) / "orvo";
  }
  std::filesystem::path userHome = environment("HOME");
  if (userHome.empty()) userHome = ".";
  return userHome / ".local/share/orvo";
}

}  // namespace orvo
