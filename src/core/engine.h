#pragma once
// The one central object: every piece of state about what the player is doing,
// and the operations that act on it.
//
// Threads: callers come from the MIDI thread, the key reader, timers and
// activity threads. All state below is guarded by `lock` (recursive: command()
// holds it while mode handlers call back in). No lock is held across speech:
// activities run on the runtime's global queue and take the lock only for
// short reads and writes.
//
// Activities: every action that speaks or plays starts with run(), which raises
// `gen` and stops current speech; say() refuses to speak for an older
// generation, so any new press cuts off what was going on.

#include <bitset>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "apps/music-player.h"
#include "core/log.h"
#include "core/memory.h"
#include "core/mode.h"
#include "core/options.h"
#include "core/profile.h"
#include "core/window.h"
#include "lessons/lesson.h"
#include "lessons/song.h"
#include "platform/runtime.h"
#include "sound/ev.h"
#include "sound/midi-io.h"
#include "sound/sounds.h"
#include "sound/speech-output.h"
#include "voice/heard.h"

namespace orvo {

struct EngineParts {
  Runtime& runtime;
  Window& window;
  Log& log;
  SpeechOutput& speaker;
  Opt& opt;
  MusicPlayer& musicPlayer;
  MidiIO& midi;
  Sounds& sounds;
  std::filesystem::path baseDir;
  // Folders of the player's MIDI songs (the data folder's "songs", "Music/Orvo Songs").
  std::vector<std::filesystem::path> songFolders = {};
  std::function<void(const std::string&, int)> quit = [](auto&, int) {};  // orderly exit
  // A sentence as piano notes; nothing when it cannot be rendered.
  std::function<std::optional<std::vector<Ev>>(const std::string&)> pianoSpeech =
      [](const std::string&) { return std::nullopt; };
};

class Engine {
 public:
  explicit Engine(EngineParts parts);
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  std::recursive_mutex lock;

  // Activities.
  int run(std::function<void(int gen)> work);
  bool alive(int gen);
  void say(const std::string& text, int gen);
  void interrupt();
  // Starts an activity that says the text.
  void speak(const std::string& text);

  // The button dispatcher, and what it offers keys to.
  void command(int key);
  std::vector<std::string> homeItems();
  bool homeCommand(int key);

  void goHome();
  void goHomeQuietly();
  void stopEverything();
  void togglePause();
  void help();
  std::string helpText();
  void resumeAfterHelp(int gen);
  // The text the first two times `key` is asked for, then the empty string.
  std::string intro(const std::string& key, const std::string& text);

  // Typed lines from the window or the terminal, and single computer keys.
  void appCommand(const std::string& text);
  void computerKey(char key);
  void restartTake();

  // The piano, from the MIDI input thread: quick, and the lock only briefly.
  // The button rules come first: the top key acts on release so a hold can open
  // the song menu (at once in composition), other buttons act on press, and a
  // key above the top key (or any key when asked for) becomes the new top key.
  void noteEvent(int pitch, int velocity);
  void pedal(bool down);
  void askForTopKey();
  // The window's "buttons" line for the current layout.
  std::string buttonsLine();
  bool awaitingTopKey();

  // Music words: a spoken note at words[at] (pitch class and words used),
  // the answer to a theory question, and the chord being held.
  static std::optional<std::pair<int, int>> spokenNote(const std::vector<std::string>& words,
                                                       std::size_t at);
  std::optional<std::string> theory(const Heard& heard);
  std::string heldChord();

  // The large-print sheet of commands in the data folder, and opening it.
  void writeCommandSheet();
  void openCommandSheet();

  // Feedback sounds: a music-box chime for success and progress, a wood-block
  // knock for a wrong note.
  void chime(const std::vector<int>& notes, int velocity = 58, double hold = 0.6);
  void knock();
  // The band level one step down (-1) or up (+1), said and shown.
  void stepBandLevel(int direction);
  static std::string bandLevelLine(double db);

  // The lesson flow: the demonstration of some notes at the lesson tempo, and
  // playing timed events until they end or the activity is superseded.
  std::vector<Ev> demoEvents(const std::vector<SNote>& notes, double speed = 1.0);
  void play(const std::vector<Ev>& events, int gen);
  void saveProgress();
  void setHands(const Heard& heard);
  // The window's "hands" line: which hands the lessons teach.
  std::string handsLine();

  // The song library.
  void chooseSong(int index);
  void listSongs();
  std::optional<int> songNamed(const Heard& heard);
  void dropSong();
  std::vector<std::string> songTitles();
  std::optional<Lesson> currentLesson();
  int currentUnit();

  // The talk-mode sentences by key (for the window and tests).
  std::map<int, std::string> talkSentences();

  // What a new run says first; the greeting activity. With a keyboard whose top
  // key is not known yet, it asks for that key.
  void greet(const std::string& found, bool keyboardConnected);

  // State read by other objects (take the lock).
  Mode currentMode();
  bool isPaused();
  int currentGen();
  ButtonKeys buttonKeys();
  Profile currentProfile();
  Memory currentMemory();
  void markOpened(const std::string& localTime);

  const std::filesystem::path& baseDir() const { return parts_.baseDir; }
  std::filesystem::path dataFile(const std::string& name) const { return parts_.baseDir / name; }

 private:
  friend struct EngineTestAccess;  // lets tests put the engine into states later subsystems reach

  // Guarded by `lock`.
  void setMode(Mode mode);
  void setPaused(bool paused);
  double now() { return parts_.runtime.now(); }
  std::string pick(const std::vector<std::string>& sentences);
  void ui(const std::string& line) { parts_.window.ui(line); }
  void logLine(const std::string& text) { parts_.log.logLine(text); }
  void stopSpeech() { parts_.speaker.stop(); }
  void silenceNotes() { parts_.midi.allOff(); }
  // Something the player asked for that this version cannot do yet: logged and
  // said, never silent.
  void notYet(const std::string& what);

  // Mode handlers: each answers true when its mode is active and it took the key.
  bool composeCommand(int key);
  bool menuCommand(int key);
  bool jazzCommand(int key);
  bool logicCommand(int key);
  bool reaperCommand(int key);
  void openHomeItem(int index);
  void openMenu();
  void learnTopKey(int pitch);
  void holdCheck(double pressedAt);
  void musicalNote(int pitch, bool press);
  void loadSongs();
  // The lesson flow.
  void present(const std::string& prefix, bool full);
  void beginWaiting(int gen);
  void judge(int note);
  void tellNote(std::optional<int> after);
  void hint();
  void armIdleHint();
  void idleCheck();
  std::string rhythmVerdict();
  void finishUnit();
  void startDrill(std::size_t around);
  void accompanyStep(std::size_t index);
  std::string milestone(const Unit& from, const Unit& to);
  void lessonKey(int key);
  void changeTempo(int direction);
  void finishSong(const std::string& verdict);
  void autosaveTake();
  void toggleTalk();
  void changeVoiceVolume(float step);
  void loadTalkSentences();
  void playTalk(int key);
  void setLogin(bool on);
  void spokenRequest(const std::string& sentence);
  void saveMemory();

  EngineParts parts_;

  // Core.
  int gen_ = 0;
  Mode mode_ = Mode::idle;
  ButtonKeys keys_;

  // Lessons and pause.
  std::vector<Song> songs_;
  int songIdx_ = 0;
  std::optional<Lesson> lesson_;
  int unitIdx_ = 0;
  std::optional<Unit> review_;
  std::set<std::string> reviewed_;       // songs warmed up from memory in this run
  std::map<std::string, int> progress_;  // the unit reached in each song
  std::string handsOnly_ = "both";       // "both", "right" or "left"
  // The pass being judged. Sets of notes are bitsets and the lists keep their
  // capacity, so judging a note does not allocate.
  std::vector<Step> curSteps_;  // what the player must play now
  std::size_t stepIdx_ = 0;
  bool waiting_ = false;  // the lesson listens for the player's notes
  std::bitset<128> pressed_, early_, lateOK_;
  double lateUntil_ = -100.0;
  int mistakes_ = 0;
  int missesHere_ = 0;
  std::vector<double> stepTimes_;
  std::vector<int> missAt_;  // wrong notes per step of this pass
  int attempts_ = 0;
  std::optional<std::string> verdictOverride_;
  std::optional<std::pair<int, int>> drill_;  // clean passes, tries
  double lastMistake_ = -100.0;
  double tempo_ = 0.7;  // demonstrations play at this share of the written tempo
  std::vector<SNote> accompany_;
  double idleDeadline_ = 0;
  int idleArmed_ = -1;  // the idleToken_ the pending idle check belongs to
  bool idleTimerPending_ = false;
  bool paused_ = false;
  bool resumeWaiting_ = false;
  double pauseToldAt_ = -100.0;
  double lastPauseToggle_ = -100.0;
  double lastStopPress_ = -100.0;
  int idleToken_ = 0;
  int accGen_ = 0;

  // Practice, jam and rounds.
  int metroToken_ = 0;
  int metroBPM_ = 80;
  std::optional<int> earTarget_;
  bool jamOn_ = false;
  std::optional<int> jazzIdx_;
  bool roundOn_ = false;
  bool naming_ = false;

  // Speech.
  std::optional<std::function<void()>> pendingConfirm_;
  std::optional<std::string> pendingSentence_;
  std::string lastSpoken_;
  double lastSpokenAt_ = -100.0;
  double spotifyPausedAt_ = -100.0;

  // Piano-key buttons.
  bool awaitingTop_ = false;
  std::optional<double> topDownAt_;
  bool heardPiano_ = false;
  std::bitset<128> held_;  // musical keys held down now

  // Talk mode: the sentence of each key, and its piano notes once worked out.
  std::map<int, std::string> talkMap_;
  std::map<int, std::vector<Ev>> talkCache_;

  // Home and typing.
  int homeIdx_ = 0;
  std::string typing_ = "name";

  // Player.
  Profile profile_;
  Memory mem_;
  std::map<std::string, int> intros_;
  bool speechLinesNoted_ = false;
  bool levelLinesNoted_ = false;
};

}  // namespace orvo
