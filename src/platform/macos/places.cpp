#include "platform/places.h"

namespace orvo {

std::filesystem::path dataFolder() {
  if (auto home = environment("ORVO_HOME"); !home.empty()) return home;
  std::filesystem::path userHome = environment("HOME");
  if (userHome.empty()) userHome = ".";
  return userHome / "Library/Application Support/Orvo";
}

}  // namespace orvo
