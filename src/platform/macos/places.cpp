#include "platform/places.h"

namespace orvo {

std::filesystem::path dataFolder() {
  if (auto home = environment("ORVO_HOME"); !home.empty()) return home;
  return homeFolder() / "Library/Application Support/Orvo";
}

// The Mac's own General MIDI sound plays without a bank file of ours.
std::vector<std::filesystem::path> soundBankPlaces() {
  return {};
}

std::vector<std::filesystem::path> reaperPlaces() {
  return {"/Applications/REAPER.app/Contents/MacOS/REAPER"};
}

std::filesystem::path reaperResourceFolder() {
  return homeFolder() / "Library/Application Support/REAPER";
}

std::filesystem::path sessionFolder() {
  const std::string temporary = environment("TMPDIR");
  return temporary.empty() ? std::filesystem::path() : std::filesystem::path(temporary);
}

}  // namespace orvo
