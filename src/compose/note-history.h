#pragma once
// The rolling history of everything played on the piano, in every mode, with
// the sustain pedal. Takes are cut out of it by time.
//
// Threads: not locked itself; the engine calls it under its lock. record() and
// pedal() are on the note path: the history is reserved up front and the held
// and sustained notes live in fixed or pre-reserved storage, so a note
// allocates nothing until a trim (which moves entries, never allocates).

#include <array>
#include <bitset>
#include <cstddef>
#include <vector>

#include "compose/rnote.h"

namespace orvo {

class NoteHistory {
 public:
  // Beyond this many entries, with nothing held or sustained, the oldest
  // `trimCount` go. While a note is open no trim happens: indices would move.
  static constexpr std::size_t trimAbove = 50000;
  static constexpr std::size_t trimCount = 25000;

  NoteHistory();

  // A note-on (vel above 0) or note-off at clock time `at`.
  void record(int pitch, int vel, double at);
  // The sustain pedal: released, every note let go under it ends now.
  void pedal(bool down, double now);
  bool pedalDown() const { return pedalDown_; }

  // The notes from `since` on: held ones end now, every end is capped 30 s
  // after its onset, times shifted so the first starts at 0.
  std::vector<RNote> notes(double since, double now) const;
  // The most recent continuous passage (ending at the first silence of more
  // than 10 s going back, within the last 900 s), tidied.
  std::vector<RNote> lastStretch(double now) const;

  // Resuming a take: the onset of the last note with from <= t < to, and
  // moving those notes (onsets, and ends once known) later by `by`.
  double lastOnsetIn(double from, double to, double otherwise) const;
  void shift(double from, double to, double by);

  // The keys held down now.
  std::bitset<128> held() const;
  const std::vector<RNote>& entries() const { return history_; }
  std::size_t sustainedCount() const { return sustained_.size(); }

 private:
  std::size_t firstFrom(double t) const;
  void trimIfFree();

  std::vector<RNote> history_;
  std::array<int, 128> openIdx_;  // index into history_ by pitch, -1 when not held
  int openCount_ = 0;
  std::vector<int> sustained_;  // released with the pedal down; their end is still -1
  bool pedalDown_ = false;
};

}  // namespace orvo
