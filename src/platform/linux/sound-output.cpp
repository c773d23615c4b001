#include "platform/sound-output.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace orvo {

SoundSystems findSoundSystems() {
  namespace fs = std::filesystem;
  SoundSystems found;
  std::error_code error;
  if (fs::is_directory("/dev/snd", error)) {
    for (const auto& entry : fs::directory_iterator("/dev/snd", error)) {
      std::string name = entry.path().filename().string();
      if (name.rfind("pcm", 0) == 0 && name.back() == 'p') found.alsa = true;  // playback
    }
  }
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) {
    fs::path folder = runtime;
    found.pulse = fs::exists(folder / "pulse/native", error);
    found.pipewire = fs::exists(folder / "pipewire-0", error);
  }
  if (const char* server = std::getenv("PULSE_SERVER"); server && *server) found.pulse = true;
  return found;
}

bool soundOutputPresent() {
  return findSoundSystems().any();
}

}  // namespace orvo
