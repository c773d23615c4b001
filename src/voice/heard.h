#pragma once
// One sentence as the request handlers see it. Built in steps: lower case,
// punctuation gone, the recogniser's known mishearings repaired and everyday
// sayings rewritten to the phrases the rules expect, apostrophes gone, leading
// fillers and one politeness phrase dropped. `near` adds, for each long word
// that is not a known word, the known words one edit away from it, so
// "metronom" still finds the metronome.

#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace orvo {

struct Heard {
  std::string text;  // normalised: lower-case words separated by single spaces
  std::string raw;   // the sentence as it came, for what is to be typed as said
  std::vector<std::string> words;
  std::unordered_set<std::string> near;
  std::vector<std::string> repairs;  // "metro gnome -> metronome", in the order applied

  Heard() = default;
  explicit Heard(const std::string& sentence);
  static Heard from(const std::string& sentence) { return Heard(sentence); }

  // A phrase of several words must occur as whole words in the text; a single
  // word must be one of `near`.
  bool has(const std::string& phrase) const;
  bool hasAny(const std::vector<std::string>& phrases) const;
  // The same, for a phrase list kept as data.
  bool hasAnyOf(const std::vector<std::string_view>& phrases) const;
  // The text begins with the phrase, as whole words.
  bool starts(const std::string& phrase) const;
  // The first number: digits, else number words ("twenty five" is 25); "a",
  // "an", "to", "for" and "half" only when there is nothing else.
  std::optional<int> number() const;
  // The text after the first occurrence of the phrase, trimmed; empty when absent.
  std::string after(const std::string& phrase) const;
};

}  // namespace orvo
