#pragma once
// A small language model made from Orvo's own words: the phrases the request
// rules know, each also said after the assistant's name, counted into an
// n-gram model of up to three words (absolute discounting with back-off)
// written in the ARPA text form the recogniser reads. A general model of
// English misheard nearly everything; one of Orvo's words hears the name.
// Pure; any thread.

#include <map>
#include <set>
#include <string>
#include <vector>

namespace orvo::window {

// A phrase as the recogniser's words: lower case, letters, digits and
// apostrophes, "8" left as it is (the dictionary spells numbers as words).
std::vector<std::string> recogniserWords(const std::string& phrase);

// The sentences the model learns from: every phrase alone and after the
// name, the name alone, and each word that sounds like the name on its own
// (so "Orville" or "orzo" has a word of its own to be heard as, rather than
// the name).
std::vector<std::vector<std::string>> trainingSentences(
    const std::vector<std::string>& phrases, const std::string& name,
    const std::vector<std::string>& soundAlikes = {});

// The model in ARPA form, and the words it knows.
struct LanguageModel {
  std::string arpa;
  std::set<std::string> words;
};
LanguageModel buildLanguageModel(const std::vector<std::vector<std::string>>& sentences);

}  // namespace orvo::window
