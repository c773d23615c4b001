#pragma once
// The jazz jam's band: every note of an arrangement sent through its output
// (the MIDI link, so the built-in sound plays it and any MIDI output receives
// it) at its absolute time t0 + t on the runtime's clock, woken by a
// `PlayerClock`, so a late wake-up never delays the notes after it and the
// band never drifts.
//
// Threads: every member from any thread; the notes are sent on the alarm's
// thread under the band's own lock (never the engine's).

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "compose/player-clock.h"
#include "compose/rnote.h"
#include "platform/mutex.h"
#include "platform/runtime.h"

namespace orvo {

class JazzBand {
 public:
  // Sends one MIDI message now; called on the clock's thread (no allocation).
  using Out = std::function<void(const std::uint8_t* bytes, std::size_t size)>;

  JazzBand(Runtime& runtime, Out out, std::function<void(const std::string&)> log);

  // Plays `notes` (seconds from the start) starting now, after stopping what
  // played before. Returns the start time on the runtime's clock.
  double play(const std::vector<RNote>& notes);
  // Stops at once: every note still sounding gets its note-off.
  void stop();
  bool playing();

  // The benchmark's view: how late each message went out, in seconds, into a
  // vector reserved beforehand (nothing is added once it is full).
  void recordLateness(std::vector<double>* into);

 private:
  struct Message {
    double due;
    std::array<std::uint8_t, 3> bytes;
  };

  // What is due now, on the clock's thread; the next message's time.
  double advance(double now);
  void releaseAll() REQUIRES(lock_);

  Runtime& runtime_;
  Out out_;
  std::function<void(const std::string&)> log_;

  Mutex lock_;
  std::vector<Message> messages_ GUARDED_BY(lock_);
  std::size_t next_ GUARDED_BY(lock_) = 0;
  bool playing_ GUARDED_BY(lock_) = false;
  std::array<std::uint8_t, 16 * 128> sounding_ GUARDED_BY(lock_){};  // note-ons not yet ended
  std::vector<double>* lateness_ GUARDED_BY(lock_) = nullptr;
  std::unique_ptr<PlayerClock> clock_ GUARDED_BY(lock_);  // made by the first play
};

}  // namespace orvo
