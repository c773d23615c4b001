#pragma once
// The recogniser for Orvo's words: the language model and dictionary made
// from the engine's phrases, its vocabulary line and the assistant's name,
// written into a private folder, and a recogniser opened on them. Made again
// whenever the name or the vocabulary changes.
//
// Threads: the caller's (it reads the dictionary and uses espeak-ng).

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "window/speech-recogniser.h"

namespace orvo::window {

struct RecogniserWords {
  std::vector<std::string> phrases;  // the engine's --phrases
  std::string vocabulary;            // its "vocab" line's words, separated by commas
  std::string name = "Orvo";
  double nameThreshold = 1e-25;  // the name spotter's; 0 spots nothing
  double speechThreshold = 2.0;  // how far over the noise floor sound is speech
};

// Nothing, and why in a sentence, when the model is missing or cannot be written.
std::unique_ptr<SpeechRecogniser> makeRecogniser(const RecogniserWords& words,
                                                 const std::filesystem::path& folder,
                                                 std::string* why);

}  // namespace orvo::window
