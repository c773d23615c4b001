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

// With `spelledOnly`, where a stretch is a single line (no two notes
// sounding together for longer than a smudge) a chord is named only where
// the window's notes spell at least three of its tones: the chords a player
// is told they played, never ones a band would put under their melody.
std::vector<Chord> detectChords(const std::vector<RNote>& notes, std::optional<double> beat,
                                double length, int tonic, bool minor, bool spelledOnly = false);

// Two notes sounding together for longer than this are played together,
// not one after the other with a smudge.
inline constexpr double kSmudge = 0.12;

// Whether the notes sound one at a time, smudges aside, within [from, to).
bool singleLine(const std::vector<const RNote*>& notes, double from, double to);

}  // namespace orvo
