#pragma once
// Composition: the rolling note history of everything played (in every mode)
// and, in composition mode, the takes cut out of it and the keys that act on
// the current take: play it with the band, describe it, vary it, save and
// name it. It owns the saved pieces, the naming, the piano roll and the gifts.
//
// Threads: every member runs with Engine::lock held. played() and pedal() are
// on the note path (MIDI thread): no allocation, no I/O, no speech. The keys
// copy the take under the lock and analyse it in an activity, so MIDI input
// never waits for an analysis.

#include <array>
#include <atomic>
#include <bitset>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compose/analysis.h"
#include "compose/note-history.h"
#include "compose/rnote.h"
#include "engine/note-listener.h"
#include "engine/room.h"
#include "platform/mutex.h"
#include "platform/opt.h"
#include "platform/runtime.h"
#include "rooms/compose/gifts.h"
#include "rooms/compose/piano-roll.h"
#include "rooms/compose/piece-naming.h"
#include "rooms/compose/pieces.h"
#include "sound/ev.h"

namespace orvo {

class RoomServices;
class Window;
class Store;
class SpeechOutput;
class Sounds;
class Runtime;
class MidiIO;

class ComposeRoom final : public Room, public NoteListener {
 public:
  // The parts of the program this uses besides the engine.
  struct Parts {
    Runtime& runtime;
    MidiIO& midi;
    Sounds& sounds;
    SpeechOutput& speaker;
    Store& store;
    Window& window;
    Opt opt;
    std::function<double()> wallClock;  // seconds since 1970
    std::function<std::optional<std::vector<Ev>>(const std::string&)> pianoSpeech;
    std::filesystem::path baseDir;  // the data folder, whose "ideas" the pieces go in
  };
  ComposeRoom(RoomServices& engine, Parts parts);
  ~ComposeRoom() override;

  Mode mode() const override { return Mode::compose; }
  void leave() override;
  std::string helpText() override;

  // Every musical note and the sustain pedal, whatever the mode.
  void played(int pitch, int velocity);
  bool hearNote(int pitch, int velocity) override {
    played(pitch, velocity);
    return false;
  }
  void pedal(bool down);

  // A piano-key button; true when composition took it. The compose key is
  // taken in every mode, the take keys and the talk key in composition mode.
  bool command(int key);
  void restartTake();
  void autosaveTake();
  void keepLast();
  // "What did I just play": the last stretch of playing, or in composition
  // mode the take, as the notes key describes it.
  void describeLast();
  // "play it back with the band" and "play a variation", by voice: the take
  // in composition mode, else what was just played (else the last saved piece).
  void playBack();
  void playNextVariation();
  // Any button, going home, pausing or stopping ends the echo round.
  void stopRound() { roundOn_ = false; }
  bool roundOn() const { return roundOn_; }

  // The band's style ("classic", "simple" or "full"), kept in "band-style-2.txt".
  std::string bandStyle() const { return bandStyle_; }
  void setBandStyle(const std::string& style);
  void toggleBandStyle();

  // Plays timed events with the band, the piano mixed in with it while it
  // lasts; in an activity, with no lock held.
  void playBand(const std::vector<Ev>& events, int gen);
  // The live band falls silent before another band plays (engine lock held).
  void silenceLiveBand() {
    if (silenceLiveBand_) silenceLiveBand_();
  }

  // Called, with the engine lock held, before the take plays with its band:
  // the live band falls silent so two bands never play at once.
  void setLiveBandSilencer(std::function<void()> silence) { silenceLiveBand_ = std::move(silence); }

  Pieces& pieces() { return pieces_; }
  PieceNaming& naming() { return naming_; }
  PianoRoll& roll() { return roll_; }
  Gifts& gifts() { return gifts_; }

  // The current take, tidied; the number that tells it from the take once
  // more is played or a new one begins.
  std::vector<RNote> currentTake();
  int takeNumber() const { return takeNumber_; }
  bool takeSaved() const { return takeSaved_; }
  // A save of take `number` succeeded: it counts only while that take is
  // current; `close` also ends the take, as keeping it does.
  void markSaved(int number, bool close = false);

  const NoteHistory& history() const { return history_; }
  std::string lastSummary() const { return lastSummary_; }
  double takeStart() const { return takeStart_; }
  double lastOnset() const { return lastOnset_; }

 private:
  friend struct EngineTestAccess;

  void composeKey();
  void takeKey(int key);
  // A take key on a take (or on the last saved piece, `fromFile`).
  void playByVoice(int key, int kind);
  // The take when it has notes, else the last saved piece in its place.
  void actOnTakeOrSaved(int key, std::vector<RNote> take, bool naming, int kind);
  void actOnTake(int key, std::vector<RNote> take, bool fromFile, bool naming, int kind);
  void describeTake(std::vector<RNote> take, std::string prefix, bool skipNewest);
  void playWithBand(std::vector<RNote> take, std::string prefix);
  void playVariation(int kind, std::vector<RNote> take, std::string prefix);
  void startRound(std::vector<RNote> take, std::string prefix);
  void saveTake(std::vector<RNote> take, int number);
  void echo(int pitch, int velocity);
  void openResumeWindow(const std::vector<RNote>& take);
  void newTake();
  // The summary and the remarks against the saved pieces, for an activity.
  std::string description(const std::vector<RNote>& take, bool skipNewest);

  RoomServices& engine_;
  Parts parts_;
  NoteHistory history_;

  double takeStart_ = 0;
  int takeNumber_ = 0;             // a new number whenever the take starts, resumes or restarts
  std::optional<int> autosaving_;  // the take an autosave is under way for
  bool takeClosed_ = true;
  bool takeSaved_ = true;
  double lastOnset_ = 0;
  int variationIdx_ = 0;
  double resumeUntil_ = 0;
  double resumePressedAt_ = 0;
  static constexpr double kDoublePress = 0.6;
  double lastTopPress_ = -100.0;  // "never", so a first press is never a double one
  // The top key's playback waits out the double-press window, so a second
  // press names the piece before any band has sounded; this counts presses.
  int topPresses_ = 0;
  double lastNotesPress_ = -100.0;
  double lastComposePress_ = -100.0;
  std::string lastSummary_;
  // Read by the echo's alarm too, which never takes the engine's lock.
  std::atomic<bool> roundOn_{false};
  double roundDelay_ = 4.0;
  std::bitset<128> roundHeld_;  // echo pitches sounding now
  // Echoes waiting for their time, oldest first: a ring filled on the note
  // path and emptied by the alarm, so a round never allocates. The ring has a
  // lock of its own, taken after the engine's, so an echo that is due never
  // waits for the engine to finish other work.
  struct Echo {
    double due = 0;
    std::array<std::uint8_t, 3> message{};
  };
  static constexpr std::size_t kEchoes = 512;
  Mutex echoLock_;
  std::array<Echo, kEchoes> echoes_ GUARDED_BY(echoLock_){};
  std::size_t echoHead_ GUARDED_BY(echoLock_) = 0;
  std::size_t echoCount_ GUARDED_BY(echoLock_) = 0;
  std::string echoWhyNormal_;  // why the echo's clock is not real-time
  std::shared_ptr<Alarm> echoAlarm_;
  void sendDueEchoes();

  std::string bandStyle_ = "classic";
  std::function<void()> silenceLiveBand_;
  std::atomic<int> bandPlaybacks_{0};  // band playbacks running; the piano is mixed in while any is

  Pieces pieces_;
  PieceNaming naming_;
  PianoRoll roll_;
  Gifts gifts_;
};

}  // namespace orvo
