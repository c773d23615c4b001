#include "platform/sound-output.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace orvo {

bool soundOutputPresent() {
  namespace fs = std::filesystem;
  std::error_code error;
  if (fs::is_directory("/dev/snd", error)) {
    for (const auto& entry : fs::directory_iterator("/dev/snd", error)) {
      std::string name = entry.path().filename().string();
      if (name.rfind("pcm", 0) == 0 && name.back() == 'p') return true;  // a playback device
    }
  }
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) {
    fs::path folder = runtime;
    if (fs::exists(folder / "pulse/native", error) || fs::exists(folder / "pipewire-0", error)) {
      return true;
    }
  }
  if (const char* server = std::getenv("PULSE_SERVER"); server && *server) return true;
  return false;
}

}  // namespace orvo
