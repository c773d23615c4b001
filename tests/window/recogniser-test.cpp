// The recogniser on Orvo's own words, on sentences spoken by espeak-ng: the
// name heard with a request, and no name made up in sentences without it.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "matchers.h"
#include "platform/child-process.h"
#include "temp-folder.h"
#include "voice/request-words.h"
#include "window/language-model.h"
#include "window/pronunciations.h"
#include "window/recogniser-model.h"

namespace orvo::window {
namespace {

// espeak-ng's sentence at 16 kHz: its 22 050 Hz samples, taken at the nearest point.
std::vector<std::int16_t> spoken(const std::string& sentence) {
  auto child = ChildProcess::start({"espeak-ng", "-v", "en-us", "-s", "160", "--stdout", sentence});
  if (!child || child->wait(20) != 0) return {};
  const std::string& wav = child->output();
  const auto data = wav.find("data");
  if (data == std::string::npos) return {};
  std::vector<std::int16_t> at22k;
  for (std::size_t i = data + 8; i + 1 < wav.size(); i += 2) {
    at22k.push_back(static_cast<std::int16_t>(static_cast<std::uint8_t>(wav[i]) |
                                              static_cast<std::uint8_t>(wav[i + 1]) << 8));
  }
  std::vector<std::int16_t> out(16000, 0);  // a second of quiet before
  for (double t = 0; t < static_cast<double>(at22k.size()); t += 22050.0 / 16000.0)
    out.push_back(at22k[static_cast<std::size_t>(t)]);
  out.insert(out.end(), 16000, 0);
  return out;
}

// Every final result of the samples fed as the microphone would, with the
// sample at which its block began.
std::vector<std::pair<std::size_t, std::string>> finalsOf(
    SpeechRecogniser& recogniser, const std::vector<std::int16_t>& samples) {
  std::vector<std::pair<std::size_t, std::string>> finals;
  for (std::size_t at = 0; at < samples.size(); at += 1600) {
    const std::size_t count = std::min<std::size_t>(1600, samples.size() - at);
    for (const Recognised& heard : recogniser.feed(samples.data() + at, count)) {
      if (heard.final) finals.emplace_back(at, heard.text);
    }
  }
  return finals;
}

std::string finalOf(SpeechRecogniser& recogniser, const std::vector<std::int16_t>& samples) {
  const auto finals = finalsOf(recogniser, samples);
  return finals.empty() ? "" : finals.back().second;
}

TEST(Recogniser, TheModelIsMadeFromOrvosWordsAndTheNameIsHeardOnlyWhenSaid) {
  // The model itself: every word has a pronunciation, the name one of espeak-ng's.
  const auto sentences =
      trainingSentences({"new composition", "what time is it"}, "Orvo", {"over"});
  const LanguageModel model = buildLanguageModel(sentences);
  EXPECT_THAT(model.arpa, HasSubstr("\\3-grams:"));
  EXPECT_THAT(model.arpa, HasSubstr(" orvo new composition"));
  EXPECT_EQ(phonesFromIpa("ˈɔːɹvoʊ"), "AO R V OW");
  EXPECT_FALSE(phonesFromIpa("ˈˌ."));

  if (!defaultAcousticModel() || !defaultDictionary()) GTEST_SKIP() << "pocketsphinx-en-us missing";
  if (spoken("test").empty()) GTEST_SKIP() << "espeak-ng cannot speak here";
  testing::TempFolder folder;
  std::string why;
  std::vector<std::string> phrases = requests::everyPhrase();
  auto recogniser =
      makeRecogniser({.phrases = phrases, .vocabulary = "Hot Cross Buns"}, folder.path(), &why);
  ASSERT_TRUE(recogniser) << why;
  int named = 0;
  for (const char* sentence :
       {"Orvo, new composition", "Orvo, stop", "Orvo, band louder", "Orvo, what time is it"}) {
    const std::string heard = finalOf(*recogniser, spoken(sentence));
    named += heard.rfind("orvo", 0) == 0 ? 1 : 0;
  }
  EXPECT_GE(named, 3);
  for (const char* sentence :
       {"I went to the shops yesterday", "Orville is a nice name", "Walk towards the door"}) {
    EXPECT_THAT(finalOf(*recogniser, spoken(sentence)), Not(HasSubstr("orvo"))) << sentence;
  }
  // Under notes that never pause, the utterance still ends: its final result
  // comes within two seconds of the words, not when the music stops.
  std::vector<std::int16_t> music = spoken("Orvo, stop");
  const std::size_t wordsEnd = music.size() - 16000;
  music.insert(music.end(), 16000 * 10, 0);
  for (std::size_t i = 0; i < music.size(); ++i) {
    const double t = static_cast<double>(i % 6400) / 16000;  // a new note every 0.4 s
    const double pitch = 220.0 * std::pow(2.0, static_cast<double>(i / 6400 % 8) / 12.0);
    const double note = 900 * std::exp(-3 * t) * std::sin(2 * M_PI * pitch * t);
    music[i] = static_cast<std::int16_t>(std::clamp(music[i] + note, -32768.0, 32767.0));
  }
  std::size_t finalAt = 0;
  for (const auto& [at, text] : finalsOf(*recogniser, music)) {
    if (!finalAt && at >= wordsEnd - 16000) finalAt = at;
  }
  EXPECT_GT(finalAt, 0u) << "no final result while the music played";
  EXPECT_LT(finalAt, wordsEnd + 2 * 16000);
}

}  // namespace
}  // namespace orvo::window
