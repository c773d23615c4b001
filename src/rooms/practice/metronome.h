#pragma once
// The metronome: clicks on the keyboard's drum channel through the MIDI link
// (so the built-in sound plays them and any MIDI output receives them), the
// accented click on every fourth beat. Beat k is due at t0 + k × 60 / bpm on
// the runtime's clock, each time given to a `PlayerClock`, so a late wake-up
// never delays the beats after it.
//
// Threads: every member from any thread; the clicks are sent on the alarm's
// thread, under the metronome's own lock (never the engine's), which is taken
// before the clock's.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "compose/player-clock.h"
#include "platform/mutex.h"
#include "platform/runtime.h"
#include "sound/midi-io.h"

namespace orvo {

class Metronome {
 public:
  static constexpr int kSlowest = 20;
  static constexpr int kFastest = 300;

  // `silent`: diagnostic runs keep the tempo and send nothing.
  // `say` speaks a sentence as a new activity.
  Metronome(Runtime& runtime, MidiIO& midi, std::function<void(std::string_view)> ui,
            std::function<void(const std::string&)> log,
            std::function<void(const std::string&)> say, bool silent);

  // Starts at `bpm` after stopping the clicks of any tempo before; without a
  // tempo it only stops. False, and nothing changes, outside 20..300.
  bool metronome(std::optional<int> bpm);
  void stop() { metronome(std::nullopt); }
  // As the player asks: at `bpm`, or stopped, said ("Metronome at 120." ...).
  void set(std::optional<int> bpm);
  // On at its last tempo, or off (a key or a home item).
  void toggle();
  bool running();
  // The tempo it runs at, or ran at last (80 before it ever ran).
  int bpm();

 private:
  // The click now due, on the clock's thread; the next beat's time.
  double advance(double now);
  void clickOff() REQUIRES(lock_);

  Runtime& runtime_;
  MidiIO& midi_;
  std::function<void(std::string_view)> ui_;
  std::function<void(const std::string&)> log_;
  std::function<void(const std::string&)> say_;
  const bool silent_;

  Mutex lock_;
  bool running_ GUARDED_BY(lock_) = false;
  int bpm_ GUARDED_BY(lock_) = 80;
  double start_ GUARDED_BY(lock_) = 0.0;
  double interval_ GUARDED_BY(lock_) = 0.75;
  long beat_ GUARDED_BY(lock_) = 0;      // the next beat to click
  int sounding_ GUARDED_BY(lock_) = -1;  // the click whose note-off is still to come
  std::unique_ptr<PlayerClock> clock_ GUARDED_BY(lock_);  // made by the first start
};

}  // namespace orvo
