#pragma once
// The recording studio the player's notes may go to instead of the built-in
// sound. Only what the engine and the MIDI link need of it: whether it runs,
// its name for sentences, and the names of MIDI sources that are its own
// echoes (never taken as a keyboard). Thread-safe.

#include <string>
#include <vector>

namespace orvo {

class StudioHost {
 public:
  virtual ~StudioHost() = default;
  // The studio is running and sounds the piano's notes itself.
  virtual bool running() = 0;
  virtual std::string name() = 0;
  virtual std::vector<std::string> ownSourceWords() = 0;
};

// No studio is driven on this platform yet: the built-in sound plays. Its
// name and sources are those of the studio the system is made to drive.
class NoStudioHost final : public StudioHost {
 public:
  bool running() override { return false; }
  std::string name() override { return "Logic"; }
  std::vector<std::string> ownSourceWords() override { return {"Logic"}; }
};

}  // namespace orvo
