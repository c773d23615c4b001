#pragma once
// What the request families read off a heard sentence: the sentence without
// a trailing "please", whether it is one of a list, the number said, a
// timer's length and label, a piece's name, the local time as it is said.
// Pure; any thread.

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "voice/heard.h"

namespace orvo::requesttext {

using Words = std::vector<std::string_view>;

// The sentence without a trailing "please", "now" or thanks: "stop please" is "stop".
std::string bare(const Heard& heard);
bool among(const std::string& text, const Words& phrases);
bool hasAny(const Heard& heard, const Words& phrases);
// A plural "s" trimmed from a word longer than three letters.
std::string stem(const std::string& word);
// strftime's text without a leading zero: "3:05 PM".
std::string clockText(const std::tm& local, const char* format);
// The sentence is about the text or the window: never a restyle of the music.
bool aboutText(const Heard& heard);
bool aboutTheScreen(const Heard& heard);
// The name in a request to save or rename a piece ("save that as blues for
// ann"): empty when the request names none, nothing when it is no such request.
std::optional<std::string> pieceName(const Heard& heard);
// Spoken names come in lower case; a file name reads better with capitals.
std::string titleCase(std::string name);
// What to be reminded of: "remind me in 10 minutes to call mum" gives "call mum".
std::string reminderLabel(const Heard& heard);
// A number said, where "a" and "an" count as one only before a unit of time.
std::optional<int> numberSaid(const Heard& heard);
// A timer's length in seconds, in minutes unless seconds or hours are said.
std::optional<double> timerSeconds(const Heard& heard);

}  // namespace orvo::requesttext
