#pragma once
// What is said when the player asks which sound outputs there are. Pure.

#include <optional>
#include <string>
#include <vector>

#include "platform/audio/sound-outputs.h"

namespace orvo {

// The outputs by the names a person knows; nothing means no sound server answered.
std::string outputsSentence(const std::optional<std::vector<SoundOutput>>& outputs);

}  // namespace orvo
