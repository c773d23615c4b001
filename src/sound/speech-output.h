#pragma once
// Everything the system says goes through a SpeechOutput (the Speaker, or a
// double in tests).
//
// say() blocks its caller (an engine activity, never the main queue) until the
// sentence has been spoken; stop() may be called from any thread and makes
// every blocked say() return at once.

#include <atomic>
#include <optional>
#include <string>

#include "platform/store.h"

namespace orvo {

// Whose turn a sentence is: the engine's generation counter and the value it
// had when the sentence's activity began. A press raises the counter and then
// calls stop(); the output checks the ticket and registers the sentence in one
// step, so a sentence is either stopped by that stop() or never started.
struct SpeechTicket {
  const std::atomic<int>* generation = nullptr;
  int mine = 0;
  bool current() const { return !generation || generation->load() == mine; }
};

class SpeechOutput {
 public:
  virtual ~SpeechOutput() = default;

  virtual void say(const std::string& text, SpeechTicket ticket = {}) = 0;
  virtual void stop() = 0;
  // stop(), and also cut the sound off immediately; used on the way out.
  virtual void silenceNow() = 0;
  // The current voice's name; empty for the default voice.
  virtual std::string voiceName() = 0;
  // Switches to the next voice and returns the words that name it, or one of
  // the two answers below when there is no voice to switch to. `kept` hears
  // once how keeping the choice went: at once, with no problem, when nothing
  // changed.
  virtual std::string nextVoice(Store::Kept kept = nullptr) = 0;
  static constexpr const char* kVoicesLoading =
      "The voices are still loading. Try again in a moment.";
  static constexpr const char* kNoOtherVoices = "No other voices";
  // The voice's loudness, 0.2 to 1.
  virtual float volume() = 0;
  virtual void setVolume(float volume) = 0;
  // The speaking rate a step slower (-1) or faster (+1); nothing when this
  // voice's rate is the player's own setting. `kept` as for nextVoice().
  virtual std::optional<double> stepRate(int, Store::Kept kept = nullptr) {
    if (kept) kept(std::nullopt);
    return std::nullopt;
  }
};

}  // namespace orvo
