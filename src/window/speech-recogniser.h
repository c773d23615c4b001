#pragma once
// Offline speech recognition with pocketsphinx: 16 kHz mono samples in; out,
// the utterance's partial result whenever it changes and its final result
// when the recogniser's own voice activity says the utterance ended, or its
// words have not changed for a second (music under the voice keeps that
// activity on), or it has lasted twelve seconds. A second
// decoder spots the assistant's name alone (keyword spotting, held to a
// threshold): a name the language model heard that the spotter did not is
// taken out, so "Orville" or "towards" never wakes Orvo.
//
// Threads: one caller at a time (the listener's thread).

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct ps_decoder_s;

namespace orvo::window {

struct RecogniserModel {
  std::filesystem::path acoustic;       // the acoustic model's folder
  std::filesystem::path languageModel;  // ARPA
  std::filesystem::path dictionary;
  std::string name;              // the assistant's name, as the dictionary spells it
  double nameThreshold = 1e-25;  // the spotter's detection threshold
  double speechThreshold = 2.0;  // how far over the noise floor sound is speech
};

struct Recognised {
  bool final = false;
  std::string text;
};

class SpeechRecogniser {
 public:
  // Nothing (and why) when the model cannot be loaded.
  static std::unique_ptr<SpeechRecogniser> open(const RecogniserModel& model, std::string* why);
  ~SpeechRecogniser();
  SpeechRecogniser(const SpeechRecogniser&) = delete;
  SpeechRecogniser& operator=(const SpeechRecogniser&) = delete;

  // What changed with these samples: a new partial result, or the final one.
  std::vector<Recognised> feed(const std::int16_t* samples, std::size_t count);
  // The utterance so far is dropped; the next one starts afresh.
  void reset();
  // Whether an utterance is going on now.
  bool inSpeech() const { return inUtterance_; }

 private:
  SpeechRecogniser() = default;
  // The text without a name the spotter did not hear, or one said in the
  // middle of other words.
  std::string withoutDoubtfulName(const std::string& text) const;
  void restartSpotter();
  // The final result, and a new utterance begun.
  void endUtterance(std::vector<Recognised>& out);

  ps_decoder_s* words_ = nullptr;
  ps_decoder_s* name_ = nullptr;
  std::string nameWord_;
  bool inUtterance_ = false;
  bool nameSpotted_ = false;
  std::string lastPartial_;
  // Words unchanged this long end the utterance; none is longer than the longest.
  static constexpr std::size_t kSettledSamples = 16000;  // 1 s
  static constexpr std::size_t kLongestSamples = 16000 * 12;
  std::string lastWords_;
  std::size_t unchangedFor_ = 0;
  std::size_t heardFor_ = 0;
};

// The default acoustic model of Debian's pocketsphinx-en-us, when installed.
std::optional<std::filesystem::path> defaultAcousticModel();
// The dictionary that comes with it.
std::optional<std::filesystem::path> defaultDictionary();

}  // namespace orvo::window
