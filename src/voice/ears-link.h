#pragma once
// What the listener reads of the engine and asks of it. The engine implements
// it; tests use a recording double.
//
// Threads: called from whichever thread runs the listener (the key reader, a
// timer, an activity), never with the listener's lock held. speaking() and
// naming() must not take the engine's lock: the engine publishes them apart.

#include <string>
#include <string_view>
#include <vector>

namespace orvo {

class EarsLink {
 public:
  struct Speaking {
    std::string lastSpoken;        // the sentence last spoken
    double lastSpokenAt = -100.0;  // in the future while a sentence is being spoken
  };

  virtual ~EarsLink() = default;

  virtual Speaking speaking() = 0;
  // The player is naming a piece: every word is the name, nothing a request.
  virtual bool naming() = 0;
  // Acts on a request; a casual one (heard without a clear name) answers
  // "ignored" when it was no request, and nothing is said.
  virtual std::string hear(const std::string& request, bool casual, bool guessedName) = 0;
  // Cuts the assistant off at once.
  virtual void interrupt() = 0;
  // Turns the neural voice down while someone talks over it.
  virtual void duck(bool on) = 0;
  virtual void chime(const std::vector<int>& notes, int velocity, double hold) = 0;
  virtual void ui(std::string_view line) = 0;
};

}  // namespace orvo
