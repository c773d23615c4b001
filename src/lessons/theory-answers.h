#pragma once
// Answers to spoken music theory questions: scales, chords, key signatures,
// relative keys and intervals, every note spelled by letter from the note the
// player named. Pure functions; any thread.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvo::music {

// Whether the question holds a phrase (as the listener matches it, near
// misses of single words included).
using PhraseTest = std::function<bool(const std::string& phrase)>;

// The answer, or nothing when the words are not a theory question.
std::optional<std::string> theoryAnswer(const std::vector<std::string>& words,
                                        const PhraseTest& has);

// What the held keys make: a note, a chord named and spelled, or the notes
// when they are no simple chord.
std::string heldChordAnswer(const std::vector<int>& held);

}  // namespace orvo::music
