#pragma once

#include <string>

namespace orvo {

// When something was saved, in words and relative to now, by the local
// calendar: "earlier today", "yesterday", "on Tuesday" within six days,
// "on the fourteenth of March" before that. Times in seconds since 1970.
std::string whenText(double savedAt, double now);

// The English weekday of a moment, local time: "Tuesday".
std::string weekdayName(double secondsSince1970);

}  // namespace orvo
