#pragma once
// Piano speech: a sentence turned into piano notes that follow its melody and
// rhythm. The sentence is rendered slowly (110 words a minute), its pitch and
// loudness are tracked, and each voiced stretch becomes notes of that pitch
// and length, moved into the piano's middle register with the rises and falls
// widened, and quantised to the keyboard's semitones. Channel 0.
// Pure functions; any thread (rendering takes espeak-ng's lock).

#include <optional>
#include <string>
#include <vector>

#include "platform/speech/espeak/espeak-renderer.h"
#include "sound/ev.h"

namespace orvo::pianospeech {

std::vector<Ev> fromAudio(const RenderedSpeech& speech);

// Nothing when the sentence cannot be rendered.
std::optional<std::vector<Ev>> fromSentence(const std::string& sentence);

}  // namespace orvo::pianospeech
