#include "sound/music-ducking.h"

namespace orvo {

void MusicDucking::talking(bool on) {
  bool change = false, wantDown = false;
  {
    std::lock_guard guard(mutex_);
    if (on) {
      ++talking_;
      ++sentences_;  // a restore still waiting no longer applies
      wantDown = parts_.wanted();
      change = wantDown != down_;
      down_ = wantDown;
    } else if (talking_ > 0 && --talking_ == 0 && down_) {
      parts_.runtime.after(kHoldSeconds, [this, sentence = sentences_] {
        {
          std::lock_guard guard(mutex_);
          if (talking_ > 0 || !down_ || sentences_ != sentence) return;
          down_ = false;
        }
        parts_.setDuck(false);
      });
    }
  }
  if (change) parts_.setDuck(wantDown);
}

}  // namespace orvo
