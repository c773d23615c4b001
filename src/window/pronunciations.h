#pragma once
// How the recogniser should expect each word to sound: the dictionary that
// comes with its model for the words it has, and espeak-ng's phonemes,
// turned into the dictionary's phone set, for the ones it lacks (the
// assistant's name, song titles).
//
// Threads: phonesOf() uses espeak-ng, which is not thread-safe: one caller
// at a time (it takes a lock of its own). The rest is pure.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace orvo::window {

// Word (with "(2)" variants) to its phones, for the wanted words only.
using Dictionary = std::map<std::string, std::string>;
Dictionary readDictionary(const std::filesystem::path& file, const std::set<std::string>& wanted);

// IPA, as espeak-ng writes it, into the dictionary's phones ("ˈɔːɹvoʊ" is
// "AO R V OW"); nothing when no phone could be read.
std::optional<std::string> phonesFromIpa(const std::string& ipa);

// The word through espeak-ng in US English.
std::optional<std::string> phonesOf(const std::string& word);

// A sentence spoken by espeak-ng in US English, at the recogniser's 16 kHz:
// speech to warm the recogniser up with before anyone speaks.
std::vector<std::int16_t> spokenAt16k(const std::string& sentence);

// The dictionary for exactly these words: the model's own entries, else
// espeak-ng's; a word neither can say is left out (and named in `missing`).
Dictionary dictionaryFor(const std::set<std::string>& words, const Dictionary& known,
                         std::vector<std::string>* missing);

std::string dictionaryText(const Dictionary& dictionary);

// Insertions, deletions and substitutions between two sequences of tokens:
// phones here, words for the listening benchmark's error rate.
std::size_t tokenDistance(const std::vector<std::string>& a, const std::vector<std::string>& b);

// Words that sound like the name: everyday near-names, and the dictionary's
// words one phone away from it ("corvo", "orva" for "AO R V OW").
std::vector<std::string> soundAlikes(const std::string& namePhones,
                                     const std::filesystem::path& dictionaryFile);

}  // namespace orvo::window
