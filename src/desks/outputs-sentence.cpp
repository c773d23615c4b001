#include "desks/outputs-sentence.h"

#include <algorithm>
#include <cctype>

#include "apps/spoken-list.h"

namespace orvo {

namespace {

// Lower-case words of letters and digits.
std::vector<std::string> wordsOf(const std::string& text) {
  std::vector<std::string> words(1);
  for (unsigned char c : text) {
    if (std::isalnum(c)) {
      words.back().push_back(static_cast<char>(std::tolower(c)));
    } else if (!words.back().empty()) {
      words.emplace_back();
    }
  }
  if (words.back().empty()) words.pop_back();
  return words;
}

// How many of the asked words an output has a word beginning with.
std::size_t wordsFitting(const std::vector<std::string>& asked, const SoundOutput& output) {
  auto known = wordsOf(output.description + " " + output.name);
  return static_cast<std::size_t>(
      std::count_if(asked.begin(), asked.end(), [&](const std::string& word) {
        return std::any_of(known.begin(), known.end(),
                           [&](const std::string& mine) { return mine.rfind(word, 0) == 0; });
      }));
}

// The words of a name that say something: "my", "the" and the like left out.
std::vector<std::string> nameWords(const std::string& asked) {
  static const std::vector<std::string> filler = {
      "my", "the", "a", "an", "your", "our", "one", "output", "device", "please", "now"};
  std::vector<std::string> words;
  for (auto& word : wordsOf(asked)) {
    if (std::find(filler.begin(), filler.end(), word) == filler.end()) words.push_back(word);
  }
  return words;
}

}  // namespace

std::vector<SoundOutput> outputsNamed(const std::string& asked,
                                      const std::vector<SoundOutput>& outputs) {
  std::vector<SoundOutput> found;
  // A name given whole (the window sends the description) is that output, even
  // where another's name holds all of its words.
  const auto askedWords = wordsOf(asked);
  for (const SoundOutput& output : outputs) {
    if (askedWords == wordsOf(output.description) || askedWords == wordsOf(output.name))
      found.push_back(output);
  }
  if (!found.empty()) return found;
  const auto words = nameWords(asked);
  for (const SoundOutput& output : outputs) {
    if (wordsFitting(words, output) == words.size()) found.push_back(output);
  }
  return found;
}

std::optional<SoundOutput> closestOutput(const std::string& asked,
                                         const std::vector<SoundOutput>& outputs) {
  const auto words = nameWords(asked);
  std::optional<SoundOutput> best;
  std::size_t most = 0;
  bool tied = false;
  for (const SoundOutput& output : outputs) {
    const std::size_t fitting = wordsFitting(words, output);
    if (fitting > most) {
      most = fitting;
      best = output;
      tied = false;
    } else if (fitting == most && fitting > 0) {
      tied = true;
    }
  }
  if (tied) return std::nullopt;
  return best;
}

std::string outputNames(const std::vector<SoundOutput>& outputs) {
  std::vector<std::string> names;
  // The server's descriptions are someone else's text: made fit to speak.
  for (const SoundOutput& output : outputs) names.push_back(spokenText(output.description));
  if (names.size() == 2) return names[0] + " and " + names[1];
  return spokenList(names, 12);
}

std::string outputsSentence(const std::optional<std::vector<SoundOutput>>& outputs) {
  if (!outputs) return "I can't reach the sound server, so I can't tell which outputs there are.";
  if (outputs->empty()) return "The sound server has no outputs at the moment.";
  if (outputs->size() == 1) return "There is one output: " + outputNames(*outputs) + ".";
  return "There are " + std::to_string(outputs->size()) + " outputs: " + outputNames(*outputs) +
         ".";
}

}  // namespace orvo
