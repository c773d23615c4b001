#pragma once
// The live band's clock: it wakes the band at the exact time it asks for
// (the next root change, note-off or 25 ms grid point) on the runtime's
// alarm, which fires on the timer thread itself, so nothing waits its turn
// on a queue. On the virtual clock the same alarm fires at exact times.
//
// Threads: wakeBy() from any thread, the MIDI thread among them (no
// allocation); the band is advanced on the timer thread.

#include <memory>
#include <mutex>

#include "compose/live-band.h"
#include "platform/runtime.h"

namespace orvo {

class BandClock {
 public:
  BandClock(Runtime& runtime, LiveBand& band);

  // The band is woken by `due` at the latest.
  void wakeBy(double due);

 private:
  void fire();

  Runtime& runtime_;
  LiveBand& band_;
  std::mutex lock_;
  // The earliest time given to the alarm that has not passed yet.
  double armed_ = LiveBand::kNever;
  std::shared_ptr<Alarm> alarm_;
};

}  // namespace orvo
