#pragma once
// The lesson mode and the song library as the player reaches it: choosing,
// listing, finding and dropping songs; presenting a unit, listening, judging
// every note, verdicts, drilling a weak spot, moving on, pause.
//
// The note path: note() runs on the MIDI thread under the engine lock. It asks
// the LessonJudge, sends the knock's start and a window flash, and records
// what else must happen in a fixed ring; a Wakeup hands that ring to the
// global queue, where follow() turns it into accompaniment, hints, verdicts,
// speech and saved progress. So the MIDI thread never allocates, waits, speaks
// or writes a file during a lesson.

#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/room.h"
#include "lessons/lesson-judge.h"
#include "lessons/lesson.h"
#include "lessons/song.h"
#include "platform/runtime.h"
#include "sound/ev.h"
#include "voice/heard.h"

namespace orvo {

class RoomServices;
class Store;
class SpeechOutput;
class Runtime;
class MidiIO;

class LessonRoom final : public Room {
 public:
  // The parts of the program this uses besides the engine.
  struct Parts {
    Runtime& runtime;
    MidiIO& midi;
    SpeechOutput& speaker;
    Store& store;
    std::vector<std::filesystem::path> songFolders;
    std::filesystem::path baseDir;
  };
  LessonRoom(RoomServices& engine, Parts parts);

  Mode mode() const override { return Mode::teach; }
  void leave() override;
  bool button(int key) override;
  void note(int pitch) override;
  bool stop() override;
  std::string helpText() override;

  // The song library. The player's song files are read in the background
  // after the start; songs are listed (title, level, file) as they are read,
  // and a song's notes are read in an activity when it is first taught or played.
  void chooseSong(int index);
  void chooseCurrent();
  // A jazz lesson's study, taught like a song after `prefix`; its last unit
  // leads to the jam, and its progress is not kept.
  void teachStudy(Song study, const std::string& prefix);
  void listSongs();
  std::optional<int> songNamed(const Heard& heard);
  std::optional<int> songIndexOf(const std::string& title);
  // `then` with the song at `index` and its notes: at once when they are
  // here, else in an activity once they are read (the song found again by
  // title, nothing done if the player has moved on meanwhile).
  void withSong(int index, std::function<void(const Song&)> then);
  // While the song files are still being read: "I'm still reading your
  // songs, N so far."; else nothing.
  std::optional<std::string> stillReading();
  void dropSong();
  std::vector<std::string> songTitles();
  std::string currentTitle();
  const std::vector<Song>& songList() const { return songs_; }
  int songIndex() const { return songIdx_; }
  // The unit stored for a song, 0 when it has none.
  int storedUnit(const std::string& name) const {
    auto found = progress_.find(name);
    return found == progress_.end() ? 0 : found->second;
  }
  // Songs dropped (here or by another copy of the program) leave the library.
  void applyDropped();

  std::optional<Lesson> currentLesson();
  int currentUnit();
  bool paused() const { return paused_; }
  bool listening() const { return judge_.listening(); }

  // Which hands the lessons teach, and the window's "hands" line.
  void setHands(const Heard& heard);
  std::string handsLine();
  void changeTempo(int direction);
  // After help has been said: listen again where the pass left off.
  void resumeAfterHelp(int gen);
  // The demonstration of some notes at the lesson tempo.
  std::vector<Ev> demoEvents(const std::vector<SNote>& notes, double speed = 1.0);

 private:
  friend struct EngineTestAccess;

  // What the note path leaves for follow().
  struct FollowUp {
    enum class Kind { stepsDone, wrong, unitDone } kind;
    int pass;
    std::size_t first;
    std::size_t count;
    int note;
    bool tell;
  };

  void rest();
  void setPaused(bool paused);
  void togglePause();
  void loadSongs();
  void readLibrary();
  void showSongs(const std::vector<Song>& listing, int filesRead, bool done);
  void readNotesThen(int index, std::function<void(int index)> then);
  // Points songIdx_ at the last song of the previous run, once it is listed,
  // until the player chooses one.
  void findLastSong();
  void present(const std::string& prefix, bool full);
  void beginWaiting(int gen);
  void push(const FollowUp& followUp);
  void follow();
  void tellNote(std::optional<int> after);
  void hint();
  void armIdleHint();
  void idleCheck();
  void accompanyStep(std::size_t index);
  // A pass is over: judged, then the next unit, the drill or the pass again.
  void finishUnit();
  // In a drill of one step: true while it goes on (its sentence said, listening again).
  bool drillGoesOn(int mistakes);
  // A mostly wrong pass is played again once, a step missed twice is drilled: true when so.
  bool passGoesAgain(int mistakes);
  // What is said of the pass: praise, the wrong notes counted, or the drill's own ending.
  std::string verdictOn(int mistakes);
  void finishSong(const std::string& verdict);
  std::string milestone(const Unit& from, const Unit& to);
  void startDrill(std::size_t around);
  void lessonKey(int key);
  void saveProgress();
  // Said once a run: the disk would not keep the progress.
  void progressNotKept(const std::string& problem);

  RoomServices& engine_;
  Parts parts_;
  std::shared_ptr<Wakeup> followWake_;

  // The library.
  std::vector<Song> library_;  // every song found
  std::vector<Song> songs_;    // the ones not dropped, as listed and keyed
  int songIdx_ = 0;
  std::string lastSong_;       // the song of the previous run, until one is chosen in this one
  bool readingSongs_ = false;  // the song files are being read
  int songFilesRead_ = 0;
  std::map<std::string, int> progress_;  // the unit reached in each song
  std::set<std::string> reviewed_;       // songs warmed up from memory in this run
  std::string handsOnly_ = "both";       // "both", "right" or "left"
  bool progressFailed_ = false;          // the player has been told progress is not kept
  double tempo_ = 0.7;                   // demonstrations play at this share of the written tempo
  bool study_ = false;                   // the lesson is a jazz study, not a song of the library

  // The lesson.
  std::optional<Lesson> lesson_;
  int unitIdx_ = 0;
  std::optional<Unit> review_;
  std::vector<Step> steps_;  // what the player must play in this pass
  LessonJudge judge_;
  int pass_ = 0;  // raised whenever a pass begins or ends, so stale follow-ups do nothing
  int attempts_ = 0;
  std::optional<std::string> verdictOverride_;
  std::optional<std::pair<int, int>> drill_;  // clean passes, tries
  std::vector<SNote> accompany_;
  int accGen_ = 0;
  double idleDeadline_ = 0;
  int idleToken_ = 0;
  int idleArmed_ = -1;  // the idleToken_ the pending idle check belongs to
  bool idleTimerPending_ = false;
  // The hint of this silence was given: the next waits for the player to play.
  bool hinted_ = false;

  // Pause.
  bool paused_ = false;
  bool resumeListening_ = false;
  double pauseToldAt_ = -100.0;
  double lastPauseToggle_ = -100.0;

  // The note path's ring: fixed, so pushing never allocates.
  std::array<FollowUp, 64> ring_{};
  std::size_t ringHead_ = 0;
  std::size_t ringCount_ = 0;
};

}  // namespace orvo
