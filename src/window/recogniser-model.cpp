#include "window/recogniser-model.h"

#include "platform/files.h"
#include "window/language-model.h"
#include "window/pronunciations.h"

namespace orvo::window {

std::unique_ptr<SpeechRecogniser> makeRecogniser(const RecogniserWords& given,
                                                 const std::filesystem::path& folder,
                                                 std::string* why) {
  auto acoustic = defaultAcousticModel();
  auto dictionary = defaultDictionary();
  if (!acoustic || !dictionary) {
    if (why) {
      *why =
          "I can't listen for my name: the speech recogniser's English model is not "
          "installed (Debian's pocketsphinx-en-us).";
    }
    return nullptr;
  }
  std::vector<std::string> phrases = given.phrases;
  // The vocabulary line: words and titles, separated by commas.
  std::string item;
  for (char c : given.vocabulary + ",") {
    if (c == ',') {
      if (!files::trim(item).empty()) phrases.push_back(files::trim(item));
      item.clear();
    } else {
      item += c;
    }
  }
  // The name's own sound, so the words that sound like it compete with it.
  const auto nameWords = recogniserWords(given.name);
  std::string namePhones;
  if (nameWords.size() == 1) {
    const Dictionary own =
        dictionaryFor({nameWords[0]}, readDictionary(*dictionary, {nameWords[0]}), nullptr);
    if (!own.empty()) namePhones = own.begin()->second;
  }
  const auto sentences =
      trainingSentences(phrases, given.name, soundAlikes(namePhones, *dictionary));
  const LanguageModel model = buildLanguageModel(sentences);
  const Dictionary words =
      dictionaryFor(model.words, readDictionary(*dictionary, model.words), nullptr);
  const auto lmFile = folder / "orvo.arpa";
  const auto dictFile = folder / "orvo.dict";
  if (!files::writeFileAtomically(lmFile, model.arpa) ||
      !files::writeFileAtomically(dictFile, dictionaryText(words))) {
    if (why) *why = "I can't listen for my name: I could not write my word list.";
    return nullptr;
  }
  std::string failed;
  auto recogniser = SpeechRecogniser::open(
      {.acoustic = *acoustic,
       .languageModel = lmFile,
       .dictionary = dictFile,
       .name = nameWords.size() == 1 && words.count(nameWords[0]) && given.nameThreshold > 0
                   ? nameWords[0]
                   : "",
       .nameThreshold = given.nameThreshold,
       .speechThreshold = given.speechThreshold},
      &failed);
  if (!recogniser) {
    if (why) *why = "I can't listen for my name: " + failed + ".";
    return nullptr;
  }
  // A recogniser adapts to the voices it hears; fresh, its first sentence
  // is often misheard. Some speech of its own warms it up.
  std::vector<std::int16_t> warm(16000, 0);
  const auto speech = spokenAt16k("Orvo, what can you do? Play me something, please.");
  warm.insert(warm.end(), speech.begin(), speech.end());
  warm.insert(warm.end(), 16000, 0);
  for (std::size_t at = 0; at < warm.size(); at += 1600)
    recogniser->feed(warm.data() + at, std::min<std::size_t>(1600, warm.size() - at));
  recogniser->reset();
  return recogniser;
}

}  // namespace orvo::window
