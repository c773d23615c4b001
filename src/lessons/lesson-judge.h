#pragma once
// Judging one pass of a lesson: the player's notes against the steps they must
// play, one note at a time. A pure object: no I/O, no timers, no speech, and
// judge() never allocates (sets of notes are bitsets, lists keep their
// capacity from begin()). Whoever owns it turns each Judged into sounds,
// speech and saved progress.
//
// Rules: a step is done when enough of its notes are down (all of up to three,
// one fewer of four or five, two fewer of more); the rest of a chord may still
// come within 0.35 s without counting as wrong; a note of the next step played
// less than a quarter second early counts towards it; two wrong notes within
// 0.12 s are one smudge, one mistake.

#include <bitset>
#include <cstddef>
#include <vector>

#include "lessons/song.h"

namespace orvo {

struct Judged {
  enum class Kind {
    ignored,   // not listening, or the rest of a chord just completed
    right,     // a note of the step; `stepsDone` steps were completed by it
    early,     // held for the next step
    smudge,    // a wrong note too soon after the last one to count again
    wrong,     // a mistake; `tell` when the player should be told the note
    unitDone,  // the last step is done: the pass is over
  };
  Kind kind = Kind::ignored;
  std::size_t firstDone = 0;  // the first step completed by this note
  std::size_t stepsDone = 0;
  bool tell = false;
};

class LessonJudge {
 public:
  // Starts listening to a pass over `steps` (a song at `bpm`).
  void begin(const std::vector<Step>& steps, double bpm);
  // Stops listening; begin() or listen() starts again.
  void stop() { listening_ = false; }
  // Listens again where the pass left off (after a pause or help).
  void listen() { listening_ = !steps_.empty() && step_ < steps_.size(); }

  Judged judge(int note, double now);

  bool listening() const { return listening_; }
  std::size_t step() const { return step_; }
  const std::vector<Step>& steps() const { return steps_; }
  int mistakes() const { return mistakes_; }
  const std::vector<int>& missAt() const { return missAt_; }           // wrong notes per step
  const std::vector<double>& stepTimes() const { return stepTimes_; }  // when each step was done

 private:
  std::vector<Step> steps_;
  double bpm_ = 100;
  bool listening_ = false;
  std::size_t step_ = 0;
  std::bitset<128> pressed_, early_, lateOK_;
  double lateUntil_ = -100.0;
  double lastMistake_ = -100.0;
  int mistakes_ = 0;
  int missesHere_ = 0;
  std::vector<double> stepTimes_;
  std::vector<int> missAt_;
};

}  // namespace orvo
