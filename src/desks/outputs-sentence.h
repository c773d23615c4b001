#pragma once
// The sound outputs in words: which there are, and the one a loose name
// means. Pure.

#include <optional>
#include <string>
#include <vector>

#include "platform/audio/sound-outputs.h"

namespace orvo {

// The outputs by the names a person knows; nothing means no sound server answered.
std::string outputsSentence(const std::optional<std::vector<SoundOutput>>& outputs);
// "A", "A and B", "A, B, and C": the names a person knows, fit to speak.
std::string outputNames(const std::vector<SoundOutput>& outputs);

// The outputs a name the player said fits ("my headphones", "the USB one"):
// the one whose description (or server name) it is word for word; else those
// with a word beginning with each of its words, leaving out "my", "the" and
// the like. All of them for a name with no such word.
std::vector<SoundOutput> outputsNamed(const std::string& asked,
                                      const std::vector<SoundOutput>& outputs);
// When no output fits the whole name: the one that fits most of its words,
// when a single one does best; nothing when none fits any word.
std::optional<SoundOutput> closestOutput(const std::string& asked,
                                         const std::vector<SoundOutput>& outputs);

}  // namespace orvo
