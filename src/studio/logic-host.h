#pragma once
// Logic Pro as the studio that may be sounding the piano's notes: running
// when a process of that name runs. Logic Pro does not run on Linux, but the
// look is the same one its control will use, so a machine that has it (a Mac
// backend, or a test starting a process under that name) is seen.
//
// Threads: running() blocks for up to 3 s; never on the MIDI thread.

#include "platform/runtime.h"
#include "studio/studio-host.h"

namespace orvo {

class LogicProHost final : public StudioHost {
 public:
  explicit LogicProHost(Runtime& runtime) : runtime_(runtime) {}
  bool running() override;
  std::string name() override { return "Logic"; }
  std::vector<std::string> ownSourceWords() override { return {"Logic"}; }

 private:
  Runtime& runtime_;
};

}  // namespace orvo
