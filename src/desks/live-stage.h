#pragma once
// The live band on the engine's side, and the jam. The band follows every
// non-button note in composition and idle modes while it is on, on a clock
// of its own; the jam answers a phrase played at home with a variation of
// it, once the player has been quiet for 1.25 s.
//
// Threads: played() on the MIDI thread and the rest from anywhere, all with
// the engine's lock held (the band's own lock is taken inside it, never the
// other way round). played() allocates nothing: the band's clock and the
// jam's wait are alarms made up front.

#include <memory>
#include <optional>

#include "compose/live-band.h"
#include "compose/player-clock.h"
#include "engine/note-listener.h"
#include "platform/runtime.h"

namespace orvo {

class RoomServices;
class Runtime;
class MidiIO;

class LiveStage final : public NoteListener {
 public:
  // The parts of the program this uses besides the engine.
  struct Parts {
    Runtime& runtime;
    MidiIO& midi;
  };
  LiveStage(RoomServices& engine, Parts parts);

  // On or off, said, and the window told.
  void toggleLive();
  // Said as asked: on ("... already following you." when it is) or off.
  void setLive(bool on);
  bool liveOn() { return band_.on(); }
  // A non-button note (velocity 0: its release) from the note path.
  void played(int pitch, int velocity);
  bool hearNote(int pitch, int velocity) override {
    played(pitch, velocity);
    return false;
  }
  // Every band note off; the band stays on and starts again with the next note.
  void silence();

  void setJam(bool on);
  bool jamOn() const { return jamOn_; }
  // Ends the jam without a word (going home, stopping everything).
  void endJam() { jamOn_ = false; }

  LiveBand& band() { return band_; }

 private:
  void armJam(double at);
  void answerIfQuiet();

  RoomServices& engine_;
  Parts parts_;
  LiveBand band_;
  // Made by the first switching on.
  std::unique_ptr<PlayerClock> clock_;
  bool jamOn_ = false;
  int jamToken_ = 0;
  int answeredToken_ = 0;
  double lastJamNote_ = -100.0;
  int jamTurn_ = 0;
  std::optional<int> answerGen_;  // the activity playing an answer
  std::shared_ptr<Alarm> jamAlarm_;
};

}  // namespace orvo
