#pragma once
// The jazz course's tune notation: the song library's tokens ("C4", "Eb4/.67",
// "r/1") with notes sounding together joined by "+" ("E3+Bb3/4"). Pure
// functions; any thread.

#include <string>
#include <vector>

#include "lessons/jazz-course.h"
#include "lessons/song.h"

namespace orvo {

struct TuneRead {
  std::vector<SNote> notes;
  double beats = 0;                 // the length, rests included
  std::vector<std::string> errors;  // "token 3: \"H4\" is not a note", in order
};

// Every token is read; a malformed one is reported and takes no time.
TuneRead readJazzTune(const std::string& text, int hand, int vel);
std::vector<SNote> jazzTune(const std::string& text, int hand, int vel);

// The study of a lesson as a song: "Jazz " + title, right hand 0, left hand 1.
Song jazzStudy(const JazzLesson& lesson);

}  // namespace orvo
