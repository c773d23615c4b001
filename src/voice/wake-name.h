#pragma once
// Finding the assistant's name in what the recogniser wrote: word splitting,
// a sound code, edit distances, and the tests that decide whether a word is the
// name, strictly or loosely. Every form of the name found in a sentence is
// rewritten to one wake token, so the listener's rules look for that alone.
//
// `key` is the assistant's name lower-cased with letters only (keyOf). Pure
// functions: any thread.

#include <string>
#include <string_view>
#include <vector>

namespace orvo::wake {

// The word every form of the name becomes ("jarvis" once split into words).
inline constexpr std::string_view token = "Jarvis";

// Lower-cased and split at every character that is not a letter or a digit.
std::vector<std::string> words(std::string_view text);
// Split at single spaces, empty pieces dropped.
std::vector<std::string> pieces(std::string_view text);
// Lower-case letters a to z only.
std::string lettersOnly(std::string_view word);
// The key of an assistant name; "orvo" for a name without letters.
std::string keyOf(std::string_view assistantName);

// A code of how the word sounds: "jarvis" and "charvis" both give "jarfes".
std::string sound(std::string_view word);
// The edit distance: insertions, deletions and substitutions.
int steps(std::string_view a, std::string_view b);
// One substitution, insertion or deletion apart; identical words are not.
bool oneEditApart(std::string_view a, std::string_view b);

// Whether a word (lower case, letters only) is the name.
bool isName(std::string_view word, std::string_view key);
// The loose test for "jarvis": sound-alikes a recogniser writes for it.
bool soundsLikeName(std::string_view word);
// Whether a word may be the name, in the loose sense.
bool looseName(std::string_view word, std::string_view key);
// The sentence with every form of the name (misheard, split in two, after a
// greeting) rewritten to the wake token; a person's "Jarvis", when the
// assistant has another name, becomes "somebody".
std::string tidy(std::string_view text, std::string_view key);

}  // namespace orvo::wake
