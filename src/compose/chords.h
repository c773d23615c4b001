#pragma once
// The chords of a take in time: windows between bass notes (or beats), each
// scored against every root and chord quality. Pure; any thread.

#include <optional>
#include <string>
#include <vector>

#include "compose/rnote.h"

namespace orvo {

struct Chord {
  double start = 0;
  double end = 0;
  int root = 0;            // pitch class
  std::string quality;     // a quality of chordShapes: "major", "minor seventh" ...
  std::vector<int> tones;  // the quality's intervals above the root
};

// Where a new bass note starts a new harmony: notes below middle C that are
// not passing (a lower one follows within 0.15 s) and not covered by a bass
// note sounding at least three semitones below.
std::vector<double> bassOnsets(const std::vector<RNote>& notes);

std::vector<Chord> detectChords(const std::vector<RNote>& notes, std::optional<double> beat,
                                double length, int tonic, bool minor);

}  // namespace orvo
