#pragma once
// Orvo's own voice and notes must not become requests, yet a player clearly
// louder than them must still be heard. While Orvo sounds (a sentence begun,
// notes going out), the gate learns how loud Orvo is at the microphone; an
// utterance heard while it sounds passes only when it was clearly louder.
// The engine's listener still ignores its own sentences by their words;
// this keeps the recogniser's guesses at them from reaching it at all.
// Pure; one caller at a time.

namespace orvo::window {

class OwnSoundGate {
 public:
  // How much louder than Orvo a person must be to be heard over it.
  static constexpr double kClearlyLouder = 2.0;

  // One level reading, with whether Orvo sounded at that moment and whether
  // the recogniser is inside an utterance.
  void level(double value, bool orvoSounding, bool inUtterance);
  // Whether the utterance now ending (or a partial of it) may go to the engine.
  bool passes() const;
  // A new utterance begins.
  void nextUtterance();

  double orvoLevel() const { return orvoLevel_; }

 private:
  double orvoLevel_ = 0;      // learned loudness of Orvo's own sound
  double utterancePeak_ = 0;  // the loudest reading of this utterance
  int readingsOverOrvo_ = 0;  // readings of this utterance while Orvo sounded
  int readings_ = 0;
};

}  // namespace orvo::window
