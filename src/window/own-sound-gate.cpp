#include "window/own-sound-gate.h"

#include <algorithm>

namespace orvo::window {

void OwnSoundGate::level(double value, bool orvoSounding, bool inUtterance) {
  if (orvoSounding && !inUtterance && value > 0) {
    // Orvo alone: what it sounds like here, followed slowly.
    orvoLevel_ = orvoLevel_ == 0 ? value : 0.8 * orvoLevel_ + 0.2 * value;
  }
  if (!inUtterance) return;
  utterancePeak_ = std::max(utterancePeak_, value);
  ++readings_;
  if (orvoSounding) ++readingsOverOrvo_;
}

bool OwnSoundGate::passes() const {
  // Mostly in the quiet: always heard.
  if (readingsOverOrvo_ * 2 <= readings_) return true;
  // Over Orvo's sound: only someone clearly louder than it.
  return orvoLevel_ <= 0 || utterancePeak_ > kClearlyLouder * orvoLevel_;
}

void OwnSoundGate::nextUtterance() {
  utterancePeak_ = 0;
  readingsOverOrvo_ = 0;
  readings_ = 0;
}

}  // namespace orvo::window
