#pragma once
// Sentences rendered by espeak-ng into memory (no sound device needed): for
// the voice meter and for piano speech. espeak-ng's library keeps global
// state, so every render takes one process-wide lock. Any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/speech/espeak/espeak-voice.h"

namespace orvo {

struct RenderedSpeech {
  std::vector<std::int16_t> samples;  // mono
  int sampleRate = 22050;
};

namespace espeak {

// The sentence in `voice`, or nothing when espeak-ng is not there.
// `firstBlockSeconds`, when given, is told how long the first block took.
std::optional<RenderedSpeech> render(const std::string& text, const EspeakVoice& voice,
                                     double* firstBlockSeconds = nullptr);
// The sentence in espeak-ng's default English voice at `wordsPerMinute`.
std::optional<RenderedSpeech> render(const std::string& text, int wordsPerMinute,
                                     double* firstBlockSeconds = nullptr);

}  // namespace espeak
}  // namespace orvo
