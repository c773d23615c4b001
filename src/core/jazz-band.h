#pragma once
// The jazz jam's band on the MIDI link: every note of an arrangement sent at
// its absolute time t0 + t on the runtime's clock, from an alarm with a thread
// of its own, so a late wake-up never delays the notes after it and the band
// never drifts. The built-in sound plays it and any MIDI output receives it.
//
// Threads: every member from any thread; the notes are sent on the alarm's
// thread under the band's own lock (never the engine's).

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "compose/rnote.h"
#include "platform/mutex.h"
#include "platform/runtime.h"
#include "sound/midi-io.h"

namespace orvo {

class JazzBand {
 public:
  JazzBand(Runtime& runtime, MidiIO& midi, std::function<void(const std::string&)> log);

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

  void fire();
  void releaseAll() REQUIRES(lock_);

  Runtime& runtime_;
  MidiIO& midi_;
  std::function<void(const std::string&)> log_;

  Mutex lock_;
  std::vector<Message> messages_ GUARDED_BY(lock_);
  std::size_t next_ GUARDED_BY(lock_) = 0;
  bool playing_ GUARDED_BY(lock_) = false;
  std::array<std::uint8_t, 16 * 128> sounding_ GUARDED_BY(lock_){};  // note-ons not yet ended
  std::vector<double>* lateness_ GUARDED_BY(lock_) = nullptr;
  std::shared_ptr<Alarm> alarm_ GUARDED_BY(lock_);  // made by the first play
};

}  // namespace orvo
