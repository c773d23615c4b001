#pragma once
// The clock of a player of timed notes (the live band, the jazz band, the
// metronome): it wakes the player at exactly the time the player asks for,
// on an alarm with a thread of its own, at real-time priority where the
// system allows it, so nothing waits its turn behind other timers. Each wake
// calls `advance`, which sends what is due and says when it is next needed.
// Times left on the alarm by a player that was stopped or restarted fire and
// find nothing due. On the virtual clock the same alarm fires at exact times.
//
// Threads: wakeBy() from any thread, the MIDI thread among them (no
// allocation); `advance` runs on the clock's thread with no lock of the
// clock's held, so it may take its player's own lock.

#include <cstddef>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <string>

#include "platform/runtime.h"

namespace orvo {

class PlayerClock {
 public:
  static constexpr double kNever = std::numeric_limits<double>::infinity();
  // Does what is due at `now`; the next time it is needed, or kNever.
  using Advance = std::function<double(double now)>;

  // `times`: how many wake-up times the alarm holds at once.
  PlayerClock(Runtime& runtime, Advance advance, std::size_t times = 256);

  // Why the clock's thread runs at normal priority; empty when it is real-time.
  const std::string& whyNormalPriority() const { return whyNormal_; }

  // The player is woken by `due` at the latest. False when the alarm is full,
  // so the player is not woken then.
  bool wakeBy(double due);

 private:
  void fire();

  Runtime& runtime_;
  Advance advance_;
  std::string whyNormal_;
  std::mutex lock_;
  // The earliest time given to the alarm that has not passed yet.
  double armed_ = kNever;
  std::shared_ptr<Alarm> alarm_;
};

}  // namespace orvo
