#pragma once
// The natural voice from the command line: one sentence spoken and timed
// (`--speak`), and the voice installed with each step printed
// (`--install-voice`). Each runs a voice of its own, apart from the engine's.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/runtime.h"

namespace orvo::oneoff {

using Print = std::function<void(const std::string&)>;

// "--speak TEXT [--mute] [--cold]": 0 when the natural voice said it.
int speakOnce(const std::string& text, bool mute, bool cold, const std::filesystem::path& baseDir,
              Runtime& runtime, const Print& print);
// "--install-voice": 0 when the voice was installed and came up.
int installVoice(const std::filesystem::path& baseDir, Runtime& runtime, const Print& print);

}  // namespace orvo::oneoff
