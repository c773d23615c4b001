#pragma once
// One sentence as the request handlers see it: lower case, punctuation gone,
// split into words. Phrase tests match whole words.

#include <string>
#include <vector>

namespace orvo {

struct Heard {
  std::string text;  // normalised: lower-case words separated by single spaces
  std::vector<std::string> words;

  static Heard from(const std::string& sentence);

  // Whether the words contain the phrase (one or more whole words).
  bool has(const std::string& phrase) const;
  bool hasAny(const std::vector<std::string>& phrases) const;
};

}  // namespace orvo
