#pragma once
// Process-wide switches, read by every layer from any thread.

#include <atomic>

namespace orvo {

struct Opt {
  std::atomic<bool> textMode{false};  // --text: sentences are printed, not spoken
  std::atomic<bool> fast{false};      // one-off runs: activities run at once, no waits or writes
  std::atomic<bool> toPiano{false};   // also send notes to the piano's own sound
  std::atomic<float> voiceVolume{1.0f};
};

}  // namespace orvo
