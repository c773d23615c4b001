#include "window/speech-recogniser.h"

#include <pocketsphinx.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace orvo::window {
namespace {

ps_decoder_t* decoder(const std::vector<std::string>& arguments) {
  std::vector<const char*> argv;
  for (const auto& argument : arguments) argv.push_back(argument.c_str());
  cmd_ln_t* config = cmd_ln_parse_r(nullptr, ps_args(), static_cast<int32>(argv.size()),
                                    const_cast<char**>(argv.data()), FALSE);
  if (!config) return nullptr;
  ps_decoder_t* ps = ps_init(config);
  cmd_ln_free_r(config);
  return ps;
}

}  // namespace

std::optional<std::filesystem::path> defaultAcousticModel() {
  for (const char* folder : {"/usr/share/pocketsphinx/model/en-us/en-us",
                             "/usr/local/share/pocketsphinx/model/en-us/en-us"}) {
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::path(folder) / "mdef", error)) return folder;
  }
  return std::nullopt;
}

std::optional<std::filesystem::path> defaultDictionary() {
  for (const char* file : {"/usr/share/pocketsphinx/model/en-us/cmudict-en-us.dict",
                           "/usr/local/share/pocketsphinx/model/en-us/cmudict-en-us.dict"}) {
    std::error_code error;
    if (std::filesystem::exists(file, error)) return file;
  }
  return std::nullopt;
}

std::unique_ptr<SpeechRecogniser> SpeechRecogniser::open(const RecogniserModel& model,
                                                         std::string* why) {
  std::unique_ptr<SpeechRecogniser> recogniser(new SpeechRecogniser);
  const std::vector<std::string> common = {"-hmm",      model.acoustic.string(),
                                           "-dict",     model.dictionary.string(),
                                           "-logfn",    "/dev/null",
                                           "-samprate", "16000"};
  std::vector<std::string> words = common;
  std::ostringstream speech;
  speech << model.speechThreshold;
  words.insert(words.end(), {"-lm", model.languageModel.string(), "-vad_threshold", speech.str()});

  recogniser->words_ = decoder(words);
  if (!recogniser->words_) {
    if (why) *why = "the speech recogniser could not load its model";
    return nullptr;
  }
  recogniser->nameWord_ = model.name;
  if (!model.name.empty()) {
    std::ostringstream threshold;
    threshold << model.nameThreshold;
    std::vector<std::string> spotting = common;
    spotting.insert(spotting.end(), {"-keyphrase", model.name, "-kws_threshold", threshold.str()});
    recogniser->name_ = decoder(spotting);
  }
  ps_start_utt(recogniser->words_);
  if (recogniser->name_) ps_start_utt(recogniser->name_);
  return recogniser;
}

SpeechRecogniser::~SpeechRecogniser() {
  if (words_) ps_free(words_);
  if (name_) ps_free(name_);
}

std::string SpeechRecogniser::withoutDoubtfulName(const std::string& text) const {
  if (!name_ || nameWord_.empty()) return text;
  std::vector<std::string> words;
  std::istringstream split(text);
  for (std::string word; split >> word;) words.push_back(word);
  // People say the name first or last ("Orvo, stop", "stop, Orvo"), after a
  // greeting at most. Heard in the middle of other words, or never spotted,
  // it was a word that sounds like it ("close that orvo onto").
  static const std::vector<std::string> greetings = {"hey", "hi", "hello", "ok",    "okay",  "oh",
                                                     "so",  "um", "uh",    "there", "please"};
  std::string kept;
  for (std::size_t i = 0; i < words.size(); ++i) {
    bool drop = false;
    if (words[i] == nameWord_) {
      bool spokenBefore = false;
      for (std::size_t k = 0; k < i; ++k) {
        spokenBefore = spokenBefore ||
                       std::find(greetings.begin(), greetings.end(), words[k]) == greetings.end();
      }
      drop = !nameSpotted_ || (spokenBefore && i + 1 < words.size());
    }
    if (!drop) kept += (kept.empty() ? "" : " ") + words[i];
  }
  return kept;
}

std::vector<Recognised> SpeechRecogniser::feed(const std::int16_t* samples, std::size_t count) {
  std::vector<Recognised> out;
  ps_process_raw(words_, samples, count, FALSE, FALSE);
  if (name_) {
    ps_process_raw(name_, samples, count, FALSE, FALSE);
    if (ps_get_hyp(name_, nullptr) != nullptr) nameSpotted_ = true;
  }
  const bool speaking = ps_get_in_speech(words_) != 0;
  if (speaking) {
    inUtterance_ = true;
    heardFor_ += count;
    const char* hyp = ps_get_hyp(words_, nullptr);
    const std::string words = hyp ? hyp : "";
    if (words != lastWords_) {
      lastWords_ = words;
      unchangedFor_ = 0;
    } else {
      unchangedFor_ += count;
    }
    std::string partial = withoutDoubtfulName(words);
    if (!partial.empty() && partial != lastPartial_) {
      lastPartial_ = partial;
      out.push_back({false, partial});
    }
    // Music under the voice (the player's piano, a band) can keep the
    // recogniser's voice activity on for good: words that stop changing end
    // the utterance, and so does a long one, which also bounds what it holds.
    const bool settled = !words.empty() && unchangedFor_ >= kSettledSamples;
    if (settled || heardFor_ >= kLongestSamples) endUtterance(out);
  } else if (inUtterance_) {
    endUtterance(out);
  }
  return out;
}

void SpeechRecogniser::endUtterance(std::vector<Recognised>& out) {
  ps_end_utt(words_);
  const char* hyp = ps_get_hyp(words_, nullptr);
  out.push_back({true, withoutDoubtfulName(hyp ? hyp : "")});
  ps_start_utt(words_);
  restartSpotter();
}

void SpeechRecogniser::restartSpotter() {
  if (name_) {
    ps_end_utt(name_);
    ps_start_utt(name_);
  }
  inUtterance_ = false;
  nameSpotted_ = false;
  lastPartial_.clear();
  lastWords_.clear();
  unchangedFor_ = 0;
  heardFor_ = 0;
}

void SpeechRecogniser::reset() {
  // The decoder always has an utterance open: ended and begun afresh.
  ps_end_utt(words_);
  ps_start_utt(words_);
  restartSpotter();
}

}  // namespace orvo::window
