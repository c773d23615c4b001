#pragma once
// What the tests and benchmarks that compare us with outside programs share:
// the MIDI files of two Debian packages nobody here wrote, and the standard
// output of a command.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace orvo::testing {

// The 41 files of openttd-openmsx and planetblupi-music-midi, sorted; fewer
// (or none) where the packages are missing.
inline std::vector<std::filesystem::path> debianMidiFiles() {
  std::vector<std::filesystem::path> found;
  for (const char* folder :
       {"/usr/share/games/openttd/baseset/openmsx", "/usr/share/planetblupi/music"}) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
      if (entry.path().extension() == ".mid") found.push_back(entry.path());
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

// Everything the shell command writes on standard output; empty when it cannot start.
inline std::string commandOutput(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  ::pclose(pipe);
  return out;
}

}  // namespace orvo::testing
