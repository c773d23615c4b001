#pragma once
// Which espeak-ng voice and speed copy the player's own speech settings, so
// the voice we render ourselves sounds like the one speech-dispatcher speaks
// with. A pure function; any thread.

#include <string>
#include <vector>

#include "platform/speech/speech-synth.h"

namespace orvo {

struct EspeakVoice {
  // Voice names to try in order ("en-us+f2", "en+f2"); the first espeak-ng
  // knows is used, and its own default when it knows none.
  std::vector<std::string> names;
  int wordsPerMinute = 170;
};

// The rate maps as speech-dispatcher's espeak-ng module maps it (80, 170 and
// 449 words a minute at -100, 0 and 100); the voice type to espeak-ng's
// variants where one matches. `voiceId`, a voice the player chose by name,
// is tried first.
EspeakVoice espeakVoiceFor(const PlayerSpeech& settings, const std::string& voiceId = {});

}  // namespace orvo
