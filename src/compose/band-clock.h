#pragma once
// The live band's clock: it wakes the band at the exact time it asks for
// (the next root change, note-off or 25 ms grid point) on an alarm with a
// thread of its own, at real-time priority where the system allows it, so
// nothing waits its turn behind other timers. On the virtual clock the same
// alarm fires at exact times.
//
// Threads: wakeBy() from any thread, the MIDI thread among them (no
// allocation); the band is advanced on the clock's thread.

#include <memory>
#include <mutex>
#include <string>

#include "compose/live-band.h"
#include "platform/runtime.h"

namespace orvo {

class BandClock {
 public:
  BandClock(Runtime& runtime, LiveBand& band);

  // Why the clock's thread runs at normal priority; empty when it is real-time.
  const std::string& whyNormalPriority() const { return whyNormal_; }

  // The band is woken by `due` at the latest.
  void wakeBy(double due);

 private:
  void fire();

  Runtime& runtime_;
  LiveBand& band_;
  std::string whyNormal_;
  std::mutex lock_;
  // The earliest time given to the alarm that has not passed yet.
  double armed_ = LiveBand::kNever;
  std::shared_ptr<Alarm> alarm_;
};

}  // namespace orvo
