#pragma once
// What a take holds: its key, beat, chords and length, and the spoken summary
// of them. Pure functions and values; any thread, no state, no I/O.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "compose/chords.h"
#include "compose/rnote.h"
#include "lessons/music-words.h"

namespace orvo {

struct Analysis {
  int tonic = 0;  // pitch class
  bool minor = false;
  std::optional<double> beat;  // seconds per beat
  std::vector<Chord> chords;   // in time order, not overlapping: what a band follows
  // The chords the player's own notes spell, which the description names: a
  // single line gets none it does not spell (see detectChords).
  std::vector<Chord> spelled;
  double length = 0;           // the latest note end
  // A take that is one melodic line: the degrees it dwells on most, as
  // semitones above the tonic, most first; empty for a take with harmony.
  std::vector<int> melodyDegrees;
  bool melodyInKey = false;  // nearly all of its time on notes of the key

  // Spellings for roots and tonics: flats for the flat keys, sharps otherwise.
  static const NoteNames& names(int tonic, bool minor);
  std::string keyName() const;
  std::string tonicName() const;
  std::string name(const Chord& chord) const;
  // The shortest repeating period of the spelled chords' names: (length, times).
  std::optional<std::pair<int, int>> loop() const;
  // "Key of C major. About 76 beats per minute. Chords: ... 12 seconds, 40 notes."
  std::string summary(std::size_t noteCount) const;
};

Analysis analyse(const std::vector<RNote>& notes);

// The line's two most-held degrees and whether it stays in the key, or
// nothing when the take is no single line.
void describeMelody(const std::vector<RNote>& notes, Analysis& analysis);

// A number rounded halves away from zero; 0 for what is not finite.
long roundAway(double value);

}  // namespace orvo
