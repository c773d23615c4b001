#pragma once
// Plays a timed list of MIDI messages (a take with its band, a lesson's
// demonstration, a preview, a piece) on a clock of its own at real-time
// priority where the system allows it, as the bands and the metronome play:
// an activity thread asleep between notes could wake late on a busy machine
// and put a note out of time.
//
// One sequence plays at a time: starting another cuts off the one before.
// Before each message the sequence's `alive` is asked (an atomic read, such
// as the engine's generation), so a press that stops everything silences
// the sequence at once, not when its activity next looks. Whatever a
// sequence left sounding is let go when it ends or is cut off.
//
// Threads: start(), stop() and finished() from any thread (activities);
// the messages go out on the clock's thread, under the player's own lock,
// never the engine's. Nothing is allocated there.

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "compose/player-clock.h"
#include "platform/mutex.h"
#include "platform/runtime.h"
#include "sound/ev.h"

namespace orvo {

class SequencePlayer {
 public:
  using Send = std::function<void(const std::uint8_t* bytes, std::size_t size)>;
  SequencePlayer(Runtime& runtime, Send send);

  // Plays `events` (times from now); its number for stop() and finished().
  std::uint64_t start(std::vector<Ev> events, std::function<bool()> alive);
  // Cuts the sequence off, if it still plays.
  void stop(std::uint64_t sequence);
  // True once the sequence has played its last message or was cut off.
  bool finished(std::uint64_t sequence);

 private:
  double advance(double now);
  void letGo() REQUIRES(lock_);  // every note the sequence left sounding

  Runtime& runtime_;
  Send send_;
  Mutex lock_;
  std::vector<Ev> events_ GUARDED_BY(lock_);
  std::function<bool()> alive_ GUARDED_BY(lock_);
  std::size_t next_ GUARDED_BY(lock_) = 0;
  double startedAt_ GUARDED_BY(lock_) = 0;
  std::uint64_t number_ GUARDED_BY(lock_) = 0;  // of the sequence playing, or of the last one
  bool playing_ GUARDED_BY(lock_) = false;
  std::bitset<16 * 128> sounding_ GUARDED_BY(lock_);  // by channel and key
  PlayerClock clock_;                                 // last: its thread may call advance() at once
};

}  // namespace orvo
