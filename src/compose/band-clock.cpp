#include "compose/band-clock.h"

namespace orvo {

BandClock::BandClock(Runtime& runtime, LiveBand& band)
    : runtime_(runtime),
      band_(band),
      alarm_(runtime.makeOwnThreadAlarm([this] { fire(); }, 32, &whyNormal_)) {}

void BandClock::wakeBy(double due) {
  if (due == LiveBand::kNever) return;
  std::lock_guard hold(lock_);
  if (due >= armed_) return;
  // A full alarm fires soon anyway, and the band then asks again.
  if (alarm_->at(due)) armed_ = due;
}

void BandClock::fire() {
  const double now = runtime_.now();
  {
    std::lock_guard hold(lock_);
    if (armed_ <= now) armed_ = LiveBand::kNever;
  }
  wakeBy(band_.advance(now));
}

}  // namespace orvo
