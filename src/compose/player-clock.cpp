#include "compose/player-clock.h"

namespace orvo {

PlayerClock::PlayerClock(Runtime& runtime, Advance advance, std::size_t times)
    : runtime_(runtime),
      advance_(std::move(advance)),
      alarm_(runtime.makeOwnThreadAlarm([this] { fire(); }, times, &whyNormal_)) {}

bool PlayerClock::wakeBy(double due) {
  if (due == kNever) return true;
  std::lock_guard hold(lock_);
  if (due >= armed_) return true;
  if (!alarm_->at(due)) return false;
  armed_ = due;
  return true;
}

void PlayerClock::fire() {
  const double now = runtime_.now();
  {
    std::lock_guard hold(lock_);
    if (armed_ <= now) armed_ = kNever;
  }
  // A full alarm fires soon anyway, and the player then asks again.
  wakeBy(advance_(now));
}

}  // namespace orvo
