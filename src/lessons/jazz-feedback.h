#pragma once
// What a jam sounded like, against the lesson's goal: swing, the scale, space,
// answers to the calls, shells, landing on the thirds. Pure functions with no
// I/O, so a test can build a jam by hand; any thread.

#include <string>
#include <vector>

#include "lessons/jazz-course.h"

namespace orvo {

// One of the player's notes, in beats from the start of the player's part.
struct JamNote {
  double beat = 0;
  int pitch = 60;
  double length = 1;
};

// Where the band plays a call: the beats [start, start + length) of the
// player's part; the answer is expected in [answerFrom, answerTo).
struct CallSpan {
  double start = 0;
  double length = 0;
  double answerFrom = 0;
  double answerTo = 0;
  int phrase = 0;  // index into the lesson's calls
};

// Calls fill the first two of every four bars, for as long as a whole gap follows.
std::vector<CallSpan> callSpans(const JazzLesson& lesson);
int jamBars(const JazzLesson& lesson);

std::string swingLine(const std::vector<JamNote>& notes);
std::string scaleLine(const JazzLesson& lesson, const std::vector<JamNote>& notes);
std::string spaceLine(const JazzLesson& lesson, const std::vector<JamNote>& notes);
std::string targetLine(const JazzLesson& lesson, const std::vector<JamNote>& notes);
std::string callsLine(const JazzLesson& lesson, const std::vector<JamNote>& notes);
std::string shellsLine(const JazzLesson& lesson, const std::vector<JamNote>& notes);

// The verdict after a jam.
std::string jazzFeedback(const JazzLesson& lesson, const std::vector<JamNote>& notes);

}  // namespace orvo
