#pragma once
// The one central object: which mode the player is in, the buttons, the
// player's profile and memory, and the services every mode uses (activities,
// speech, sounds, the store). Each mode is a Room of its own (home, talk,
// lesson); the engine routes buttons, notes and typed lines to them.
//
// Threads: callers come from the MIDI thread, the key reader, timers and
// activities. All engine and room state is guarded by `lock` (recursive:
// command() holds it while rooms call back in). No lock is held across
// speech: activities run on the runtime's global queue and take the lock only
// for short reads and writes; data files are written by the Store on its own
// queue.
//
// Activities: every action that speaks or plays starts with run(), which raises
// the generation and stops current speech; a sentence carries its generation
// to the speech output, which never starts one whose turn has passed.

#include <array>
#include <atomic>
#include <bitset>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/log.h"
#include "app/window.h"
#include "apps/music-player.h"
#include "engine/button-keys.h"
#include "engine/line-routes.h"
#include "engine/mode.h"
#include "engine/note-listener.h"
#include "engine/room-services.h"
#include "engine/room.h"
#include "engine/sequence-player.h"
#include "platform/audio/sound-outputs.h"
#include "platform/desktop-entries.h"
#include "platform/mutex.h"
#include "platform/opt.h"
#include "platform/runtime.h"
#include "platform/store.h"
#include "player/memory.h"
#include "player/profile.h"
#include "sound/cues.h"
#include "sound/ev.h"
#include "sound/midi-io.h"
#include "sound/output-route.h"
#include "sound/sounds.h"
#include "sound/speech-output.h"
#include "sound/voice-hooks.h"
#include "studio/logic-control.h"
#include "studio/reaper-hooks.h"
#include "studio/studio-host.h"
#include "voice/assistant.h"
#include "voice/ears.h"
#include "voice/heard.h"

namespace orvo {

class AccessBackend;
class AiTalk;
class AppDesk;
class DawAdapter;
class EarTraining;
class Metronome;
class PracticeTimers;
class StudioDesk;
class VoiceDesk;
struct PlanStep;
class ComposeRoom;
class HomeRoom;
class JazzRoom;
class MenuRoom;
class LogicRoom;
class ReaperRoom;
class LessonRoom;
class LiveStage;
class Requests;
class TalkRoom;

struct EngineParts {
  Runtime& runtime;
  Window& window;
  Log& log;
  SpeechOutput& speaker;
  MusicPlayer& musicPlayer;
  StudioHost& studio;
  MidiIO& midi;
  Sounds& sounds;
  Store& store;
  std::filesystem::path baseDir;
  // Folders of the player's MIDI songs (the data folder's "songs", "Music/Orvo Songs").
  std::vector<std::filesystem::path> songFolders = {};
  std::function<void(const std::string&, int)> quit = [](auto&, int) {};  // orderly exit
  // A sentence as piano notes; nothing when it cannot be rendered.
  std::function<std::optional<std::vector<Ev>>(const std::string&)> pianoSpeech =
      [](const std::string&) { return std::nullopt; };
  Opt opt = {};
  // Seconds since 1970, for when a saved piece was made.
  std::function<double()> wallClock = [] {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
  };
  // Turns the neural voice down while the listener hears someone over it.
  std::function<void(bool on)> duck = [](bool) {};
  // The language model, when one can be reached; none means no model at all.
  Assistant* assistant = nullptr;
  // The recording studio the assistant changes; none answers when unset.
  DawAdapter* daw = nullptr;
  // Whether REAPER runs now (a process check that may take seconds); unset
  // means never. A pretend REAPER (the routing trace) is always in use.
  std::function<bool()> reaperRunning = nullptr;
  bool pretendReaper = false;
  // Other apps' windows and menus; none means no desktop to work in.
  AccessBackend* access = nullptr;
  // The apps installed on the desktop, by their desktop entries; unset means none.
  std::function<std::vector<DesktopEntry>()> installedApps = nullptr;
  // The clipboard's text; none when no tool can read it.
  std::function<std::optional<std::string>()> clipboard = nullptr;
  // The process of the app window we run in, which is never "another app".
  int ownAppPid = 0;
  // The listener's decisions, one line each, for the listening trace.
  std::function<void(const std::string&)> earsTrace = nullptr;
  // What runs Logic Pro's scripts; osascript when unset.
  LogicControl::Runner osaRunner = nullptr;
  // How REAPER is found, started and asked; the real ones when unset (or the
  // pretend REAPER's with pretendReaper).
  const ReaperHooks* reaperHooks = nullptr;
  // The natural voice, its installer and its voices; none when unset.
  VoiceHooks voiceHooks = {};
  // The computer's sound outputs; none answers as when no sound server runs.
  SoundOutputs* outputs = nullptr;
  // Where the voice and the music go; none: always the usual output.
  OutputRoute* outputRoute = nullptr;
};

class Engine final : public RoomServices {
 public:
  explicit Engine(EngineParts parts);
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Activities.
  int run(std::function<void(int gen)> work) override;
  // Activities started and not yet returned (an orderly end waits for none).
  int activitiesRunning() const { return activities_; }
  bool alive(int gen) override;
  void say(const std::string& text, int gen) override;
  void interrupt();
  // Starts an activity that says the text.
  void speak(const std::string& text) override;
  // A keyboard came or went: said, unless a lesson is waiting on a note
  // (the window line shows it either way).
  void keyboardChanged(bool connected);
  // A change the player asked for: the file is written and `confirmation` said
  // only once it is kept; otherwise one sentence that it could not be, and why.
  void keepThenSay(const std::string& file, std::string content, std::string confirmation) override;
  // The same for a change whose write another part makes: `change` makes it,
  // hands its write `kept` (told exactly once, at once when nothing changed)
  // and returns the confirmation, said in an activity once kept. `what`
  // names the change in the log when it was not kept.
  void sayOnceKept(const std::string& what, const std::function<std::string(Store::Kept)>& change);
  // A new turn without an activity: cuts off what is being said. No allocation.
  void cutIn() override;

  // A spoken request, freed of the name (the listener, typed requests). The
  // outcome word is only logged; "ignored" when a casual remark was no request.
  std::string hear(const std::string& request) override;
  Requests& requests() override { return *requests_; }
  // Whether the request being heard came without a clear name.
  bool casualHearing();
  // The listener, and what it reads of the speech without the engine's lock.
  Ears& ears() { return *ears_; }
  EarsLink::Speaking speakingNow() override;
  // A question waiting for its answer: while one is pending, each sentence
  // spoken tells the listener to take the next words without the name.
  void setPendingSentence(std::optional<std::string> sentence);
  // Renames the assistant: the profile, the window and the listener.
  void renameAssistant(const std::string& name);

  // The button dispatcher.
  void command(int key);

  void goHome();
  void stopEverything();
  // Says goodbye (one short sentence), then the orderly exit with `reason`.
  void goodbye(const std::string& reason);
  void help();
  std::string helpText();
  // The text the first two times `key` is asked for, then the empty string.
  std::string intro(const std::string& key, const std::string& text) override;

  // Typed lines from the window or the terminal, and single computer keys.
  void appCommand(const std::string& text);
  LineRoutes& lineRoutes() override { return routes_; }
  void computerKey(char key);
  void restartTake();
  // While a piece is being named, every typed byte is part of its name; so
  // while a question for the AI is typed.
  bool namingPiece();
  void nameKey(std::uint8_t byte);
  bool typingQuestion();
  void askKey(std::uint8_t byte);

  // The piano, from the MIDI input thread: quick, and the lock only briefly.
  // The button rules come first: the top key acts on release so a hold can open
  // the song menu, other buttons act on press, and a key above the top key (or
  // any key when asked for) becomes the new top key.
  void noteEvent(int pitch, int velocity);
  void pedal(bool down);
  void askForTopKey();
  // The window's "buttons" line for the current layout.
  std::string buttonsLine();
  bool awaitingTopKey();

  // The large-print sheet of commands in the data folder, and opening it.
  void writeCommandSheet();
  void openCommandSheet();

  // Feedback sounds: the chime and the knock.
  Cues& cues() override { return cues_; }
  // The band level one step down (-1) or up (+1), said and shown.
  void stepBandLevel(int direction);
  // Says which sound outputs there are (asking the sound server, off the lock).
  void listOutputs();
  // Moves the voice or the music to the output the player named, once it is found.
  enum class OutputFor { voice, music };
  void chooseOutput(OutputFor what, const std::string& asked);
  // Moves it there and says so once the choice is kept.
  void useOutput(OutputFor what, const SoundOutput& output);
  // Only the voice, or only the music, back on the usual output.
  void useUsualOutput(OutputFor what);
  // The voice back on the usual output, with the music.
  void outputsTogether();
  // The music turned down while the voice speaks, or left as it is; kept.
  void duckMusic(bool on);
  // The window's "outputs" line, after asking the sound server which there are
  // (off the lock, on the global queue).
  void showOutputs();
  // An output came or went, or the sound server came back: the window is
  // told, and the music goes back to its chosen output when that returns
  // (its stream is opened again on a server that came back). Asks the sound
  // server: off the lock.
  void outputsChanged(bool serverBack = false);
  // The voice volume a step down or up, said.
  void changeVoiceVolume(float step);
  // The window's "vocab" line: words the recogniser should expect.
  std::string vocabLine() override;
  static std::string bandLevelLine(double db);

  // Plays timed events until they end or the activity is superseded.
  void play(const std::vector<Ev>& events, int gen) override;

  // What a new run says first; the greeting activity. With a keyboard whose top
  // key is not known yet, it asks for that key.
  void greet(const std::string& found, bool keyboardConnected);

  // The rooms.
  HomeRoom& home() { return *home_; }
  TalkRoom& talk() { return *talk_; }
  LessonRoom& lessons() override { return *lessons_; }
  ComposeRoom& compose() override { return *compose_; }
  JazzRoom& jazz() override { return *jazz_; }
  MenuRoom& menu() { return *menu_; }
  LogicRoom& logic() { return *logic_; }
  ReaperRoom& reaper() { return *reaper_; }
  AiTalk& aiTalk() override { return *aiTalk_; }
  StudioDesk& studioDesk() override { return *studioDesk_; }
  AppDesk& appDesk() { return *appDesk_; }
  VoiceDesk& voiceDesk() { return *voiceDesk_; }
  LiveStage& live() { return *live_; }
  // The practice tools: ear training (a round takes the notes played at
  // home), the metronome and the timers.
  EarTraining& ear() { return *ear_; }
  Metronome& metronome() { return *metronome_; }
  PracticeTimers& timers() { return *timers_; }
  // The live band on or off.
  void toggleLive();
  // A plan of studio changes, carried out in the background and reported.
  void runPlan(std::vector<PlanStep> steps);
  // Switches mode: the room left puts its state to rest.
  void setMode(Mode mode) override;

  // State read by other objects (take the lock).
  Mode currentMode() override;
  bool isPaused();
  int currentGen() override;
  ButtonKeys buttonKeys();
  // For the rooms, which are called with the lock held (the analysis does not
  // follow the lock into them).
  const ButtonKeys& keys() override NO_THREAD_SAFETY_ANALYSIS { return keys_; }
  Profile currentProfile() override;
  Memory currentMemory();
  Memory& memory() override NO_THREAD_SAFETY_ANALYSIS { return mem_; }
  void saveMemory() override;
  void saveMemoryThenSay(std::string confirmation) override;
  void markOpened(const std::string& localTime);

  // Services for the rooms.
  double now() override { return parts_.runtime.now(); }
  std::string pick(const std::vector<std::string>& sentences) override;
  void ui(std::string_view line) override { parts_.window.ui(line); }
  void logLine(const std::string& text) override { parts_.log.logLine(text); }
  // Something the player asked for that this version cannot do yet: logged and
  // said, never silent.
  void notYet(const std::string& what);

  const std::filesystem::path& baseDir() const { return parts_.baseDir; }

 private:
  Room& room(Mode mode);
  void holdCheck(double pressedAt);
  void learnTopKey(int pitch) REQUIRES(lock);
  void stopKey() REQUIRES(lock);
  // Ends everything that plays beside the modes (goHome and stopEverything).
  void silenceAll();
  void toggleTalk();
  void setLogin(bool on);
  void registerLines();
  void setLastSpokenAt(double at);
  friend class EngineEars;
  // The engine's memory after another copy of the program wrote it too.
  std::string mergeMemory(const std::string& ours, const std::string& theirs);
  // The memory as it is now, queued in order with the other writes.
  void writeMemory(Store::Kept kept);
  // Puts `choice` in force (the music's stream opened again when it moves, the
  // window told when a place changes) and says `confirmation` once
  // "outputs.json" keeps it.
  void keepOutputs(const OutputChoice& choice, bool musicMoves, const std::string& logged,
                   const std::string& confirmation);
  // The "outputs" window line for the outputs there are and the choice.
  std::string outputsLine(const std::optional<std::vector<SoundOutput>>& there) const;

  EngineParts parts_;
  Cues cues_{parts_.midi, parts_.runtime};
  // Every timed playback (play()), on its own punctual clock.
  SequencePlayer player_{parts_.runtime, [this](const std::uint8_t* bytes, std::size_t size) {
                           parts_.midi.send(bytes, size);
                         }};

  std::atomic<int> gen_{0};
  std::atomic<int> activities_{0};            // started and not yet returned
  std::atomic<bool> musicOnItsOutput_{true};  // the music's chosen output was there last we looked
  ButtonKeys keys_ GUARDED_BY(lock);
  LineRoutes routes_;

  std::unique_ptr<HomeRoom> home_;
  std::unique_ptr<TalkRoom> talk_;
  std::unique_ptr<LessonRoom> lessons_;
  std::unique_ptr<ComposeRoom> compose_;
  std::unique_ptr<JazzRoom> jazz_;
  std::unique_ptr<MenuRoom> menu_;
  std::unique_ptr<LogicRoom> logic_;
  std::unique_ptr<ReaperRoom> reaper_;
  std::unique_ptr<AiTalk> aiTalk_;
  std::unique_ptr<StudioDesk> studioDesk_;
  std::unique_ptr<AppDesk> appDesk_;
  std::unique_ptr<VoiceDesk> voiceDesk_;
  std::unique_ptr<LiveStage> live_;
  std::unique_ptr<EarTraining> ear_;
  std::unique_ptr<Metronome> metronome_;
  std::unique_ptr<PracticeTimers> timers_;
  Room* current_ GUARDED_BY(lock) = nullptr;
  // A press goes to the room the player is in, and no further.
  class RoomNotes final : public NoteListener {
   public:
    explicit RoomNotes(Engine& engine) : engine_(engine) {}
    bool hearNote(int pitch, int velocity) override NO_THREAD_SAFETY_ANALYSIS {
      if (velocity > 0) engine_.current_->note(pitch);
      return true;
    }

   private:
    Engine& engine_;
  };
  RoomNotes roomNotes_{*this};
  // Who hears the music, in order (set at start, read on the note path).
  std::array<NoteListener*, 4> noteListeners_{};

  int speaking_ GUARDED_BY(lock) = 0;  // sentences of activities being spoken now
  // Published apart from `lock`, for the listener (which must not take it).
  Mutex spokenLock_;
  std::string lastSpoken_ GUARDED_BY(spokenLock_);
  double lastSpokenAt_ GUARDED_BY(spokenLock_) = -100.0;

  // Listening.
  std::unique_ptr<EarsLink> earsLink_;
  std::unique_ptr<Ears> ears_;
  std::unique_ptr<Requests> requests_;
  bool casualHearing_ GUARDED_BY(lock) = false;
  std::optional<std::string> pendingSentence_ GUARDED_BY(lock);
  double lastStopPress_ GUARDED_BY(lock) = -100.0;

  // Piano-key buttons.
  bool awaitingTop_ GUARDED_BY(lock) = false;
  std::optional<double> topDownAt_ GUARDED_BY(lock);

  // Player.
  Profile profile_ GUARDED_BY(lock);
  Memory mem_ GUARDED_BY(lock);
  std::map<std::string, int> intros_ GUARDED_BY(lock);
};

}  // namespace orvo
