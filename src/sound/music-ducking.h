#pragma once
// The music turned down while Orvo talks, when the player wants it (or, by
// default, when the voice and the music share one output): down as a sentence
// begins, back up a moment after the last one ends, so a run of sentences
// keeps the music down rather than pumping it between them.
//
// Threads: talking() from any activity thread; the restore runs on a timer.

#include <functional>
#include <mutex>

#include "platform/runtime.h"

namespace orvo {

class MusicDucking {
 public:
  static constexpr double kHoldSeconds =
      0.4;  // after the last sentence, before the music comes back

  struct Parts {
    Runtime& runtime;
    std::function<bool()> wanted;          // asked as each sentence begins
    std::function<void(bool on)> setDuck;  // the built-in sound down or up
  };
  explicit MusicDucking(Parts parts) : parts_(std::move(parts)) {}

  // A sentence begins (true) or has ended (false); calls nest.
  void talking(bool on);

 private:
  Parts parts_;
  std::mutex mutex_;
  int talking_ = 0;              // guarded by mutex_
  bool down_ = false;            // guarded by mutex_
  unsigned long sentences_ = 0;  // guarded by mutex_; counts the sentences begun
};

}  // namespace orvo
