#pragma once
// The program's own feedback sounds on the output's cue channels: a
// music-box chime for success and progress, a wood-block knock for a wrong
// note (its start at once and its end on a timer, or both apart when the
// knock must start on the note path and end later).
//
// Threads: any; the sends are quick and the ends come on the runtime's timers.

#include <vector>

namespace orvo {

class MidiIO;
class Runtime;

class Cues {
 public:
  Cues(MidiIO& midi, Runtime& runtime) : midi_(midi), runtime_(runtime) {}

  // The notes one after another, 0.12 s apart, each held `hold` seconds.
  void chime(const std::vector<int>& notes, int velocity = 58, double hold = 0.6);
  void knock();
  void knockStart();
  void knockEnd();

 private:
  MidiIO& midi_;
  Runtime& runtime_;
};

}  // namespace orvo
