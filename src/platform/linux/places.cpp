#include "platform/places.h"

namespace orvo {

std::filesystem::path dataFolder() {
  if (auto home = environment("ORVO_HOME"); !home.empty()) return home;
  if (auto xdg = environment("XDG_DATA_HOME"); !xdg.empty() && xdg.front() == '/') {
    return std::filesystem::path(xdg) / "orvo";
  }
  return homeFolder() / ".local/share/orvo";
}

std::vector<std::filesystem::path> soundBankPlaces() {
  return {"/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2"};
}

std::vector<std::filesystem::path> reaperPlaces() {
  return {"/opt/REAPER/reaper", homeFolder() / "opt/REAPER/reaper"};
}

std::filesystem::path reaperResourceFolder() {
  return homeFolder() / ".config/REAPER";
}

std::filesystem::path sessionFolder() {
  const std::string runtime = environment("XDG_RUNTIME_DIR");
  return runtime.empty() ? std::filesystem::path() : std::filesystem::path(runtime);
}

}  // namespace orvo
