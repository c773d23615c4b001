#pragma once
// An engine on a virtual clock with a speaker that records sentences, a window
// that records lines and a fresh data folder.

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "diagnostics/trace-world.h"
#include "doubles/failable-store.h"
#include "doubles/virtual-runtime.h"
#include "engine/engine.h"
#include "engine/home-room.h"
#include "matchers.h"
#include "platform/files.h"
#include "platform/midi/loopback/loopback-midi-backend.h"
#include "rooms/lesson/lesson-room.h"
#include "rooms/talk/talk-room.h"
#include "temp-folder.h"

namespace orvo {

struct RecordingSpeaker final : SpeechOutput {
  std::mutex mutex;
  std::vector<std::string> said;
  int stops = 0;
  float loudness = 1.0f;
  std::function<void()> whileSaying;  // runs inside say(), as a press during speech would
  void say(const std::string& text, SpeechTicket ticket) override {
    {
      std::lock_guard guard(mutex);
      if (!ticket.current()) return;
      said.push_back(text);
    }
    if (whileSaying) whileSaying();
  }
  void stop() override {
    std::lock_guard guard(mutex);
    ++stops;
  }
  void silenceNow() override { stop(); }
  std::string voiceName() override { return ""; }
  // A voice switched to is kept in "voice.txt" through `keptIn`, as the speaker keeps it.
  std::string nextVoice(Store::Kept kept) override {
    if (nextVoiceAnswer == kNoOtherVoices || nextVoiceAnswer == kVoicesLoading || !keptIn) {
      if (kept) kept(std::nullopt);
    } else {
      keptIn->write("voice.txt", nextVoiceAnswer + "\n", nullptr, std::move(kept));
    }
    return nextVoiceAnswer;
  }
  std::string nextVoiceAnswer = kNoOtherVoices;
  Store* keptIn = nullptr;
  float volume() override { return loudness; }
  void setVolume(float volume) override { loudness = volume; }
};

struct FakeMusicPlayer final : MusicPlayer {
  bool isPlaying = false;
  bool stopsWhenAsked = true;
  bool playing() override { return isPlaying; }
  bool pause() override {
    if (stopsWhenAsked) isPlaying = false;
    return !isPlaying;
  }
  std::string name() override { return "Spotify"; }
};

// Logic Pro, running when the test says so.
struct LogicDouble final : StudioHost {
  std::atomic<bool> runs{false};
  bool running() override { return runs; }
  std::string name() override { return "Logic"; }
  std::vector<std::string> ownSourceWords() override { return {"Logic"}; }
};

// Puts a lesson into states that are slow to reach by playing.
struct EngineTestAccess {
  // A lesson of `steps` steps on middle C, `stepIdx` of them already played.
  static void enterLesson(Engine& engine, std::size_t steps, std::size_t stepIdx, bool waiting) {
    std::lock_guard guard(engine.lock);
    LessonRoom& room = engine.lessons();
    engine.setMode(Mode::teach);
    room.lesson_ = Lesson(room.songs_.at(0));
    room.steps_.clear();
    for (std::size_t i = 0; i < steps; ++i)
      room.steps_.push_back(Step{static_cast<double>(i), {60}});
    room.judge_.begin(room.steps_, 120);
    for (std::size_t i = 0; i < stepIdx; ++i)
      room.judge_.judge(60, engine.now() + static_cast<double>(i));
    if (!waiting) room.judge_.stop();
  }
  static bool waiting(Engine& engine) {
    std::lock_guard guard(engine.lock);
    return engine.lessons().judge_.listening();
  }
  static void useSongs(Engine& engine, std::vector<Song> songs) {
    std::lock_guard guard(engine.lock);
    engine.lessons().library_ = std::move(songs);
    engine.lessons().applyDropped();
  }
  // What the lesson waits for the player to play now.
  static std::vector<Step> steps(Engine& engine) {
    std::lock_guard guard(engine.lock);
    return engine.lessons().steps_;
  }
  static std::size_t stepCount(Engine& engine) {
    std::lock_guard guard(engine.lock);
    return engine.lessons().steps_.size();
  }
};

// The test's engine, whichever run of the program it is.
struct CurrentEngine {
  TraceWorld& world;
  Engine* operator->() const { return &world.engine(); }
  Engine& operator*() const { return world.engine(); }
};

class EngineTest : public ::testing::Test {
 protected:
  testing::TempFolder home;
  std::vector<std::string> lines;
  RecordingSpeaker speaker;
  FakeMusicPlayer player;
  LogicDouble studio;
  std::map<std::string, std::vector<Ev>> pianoSpeech;  // what the talk keys play, by sentence
  std::vector<std::string> quits;
  Assistant* assistant = nullptr;  // none: no model at all
  DawAdapter* daw = nullptr;       // none: no studio answers
  bool pretendReaper = false;      // the studio is in use from the start
  std::function<bool()> reaperRunning = nullptr;
  AccessBackend* access = nullptr;  // none: no desktop to work in
  std::function<std::optional<std::string>()> clipboard = nullptr;
  std::function<std::vector<DesktopEntry>()> installedApps = nullptr;
  int ownAppPid = 0;
  // The wall clock the engine reads; a test may set another at any time.
  std::function<double()> wallClock = [] {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
  };
  LogicControl::Runner osa = nullptr;          // none: osascript, which this machine lacks
  const ReaperHooks* reaperControl = nullptr;  // none: the real REAPER, which is not here
  VoiceHooks voiceHooks;                       // none: no natural voice
  ButtonKeys keys;
  TraceWorld world{{.opt = {},
                    .folder = home.path(),
                    .seed = 7,
                    .speaker = &speaker,
                    .musicPlayer = &player,
                    .studio = &studio,
                    .windowLines = true,
                    .windowBytes = [this](std::string_view bytes) { lines.emplace_back(bytes); },
                    .sameAfternoon = false,
                    .adjust = [this](EngineParts& parts) { useDoubles(parts); }}};
  VirtualRuntime& runtime = world.runtime();
  Window& window = world.window();
  Log& log = world.log();
  FailableStore& store = world.store();
  LoopbackMidiBackend& midiBackend = world.midiBackend();
  MidiIO& midi = world.midi();
  Sounds& sounds = world.sounds();
  CurrentEngine engine{world};

  void useDoubles(EngineParts& parts) {
    parts.quit = [this](const std::string& reason, int) { quits.push_back(reason); };
    speaker.keptIn = &parts.store;
    parts.pianoSpeech = [this](const std::string& sentence) -> std::optional<std::vector<Ev>> {
      auto found = pianoSpeech.find(sentence);
      if (found == pianoSpeech.end()) return std::nullopt;
      return found->second;
    };
    parts.wallClock = [this] { return wallClock(); };
    parts.assistant = assistant;
    parts.daw = daw;
    parts.reaperRunning = reaperRunning;
    parts.pretendReaper = pretendReaper;
    parts.access = access;
    parts.installedApps = installedApps;
    parts.clipboard = clipboard;
    parts.ownAppPid = ownAppPid;
    parts.osaRunner = osa;
    parts.reaperHooks = reaperControl;
    parts.voiceHooks = voiceHooks;
  }

  // An engine beside the test's own, reading the player's songs from these
  // folders: at once, or left in the background.
  std::unique_ptr<Engine> makeEngine(std::vector<std::filesystem::path> songFolders,
                                     bool readSongsNow = true) {
    const bool readSongs = readSongsNow && !songFolders.empty();
    auto made =
        world.makeEngine([&](EngineParts& parts) { parts.songFolders = std::move(songFolders); });
    if (readSongs) runtime.runReady();  // the song files, read in the background
    return made;
  }

  // A new run of the program over the same data folder.
  void restartEngine() { world.restartEngine(); }

  void press(int key) { engine->command(key); }
  // A piano key held for `hold` seconds, then `after` seconds before the next.
  void key(int pitch, double hold = 0.2, double after = 0.3) {
    engine->noteEvent(pitch, 90);
    runtime.advance(hold);
    engine->noteEvent(pitch, 0);
    runtime.advance(after);
  }

  // What the player hears on asking which chord is held.
  std::string heldChord() {
    engine->appCommand("speak what chord am I holding?");
    return spokenOne();
  }

  // What was said since the last call.
  std::vector<std::string> spoken() {
    runtime.runReady();
    std::lock_guard guard(speaker.mutex);
    auto said = speaker.said;
    speaker.said.clear();
    return said;
  }
  std::string spokenOne() {
    auto said = spoken();
    EXPECT_EQ(said.size(), 1u) << (said.empty() ? "nothing said" : said.front());
    return said.empty() ? "" : said.front();
  }

  // A button pressed on the way somewhere; what it says is not checked.
  void pressUnchecked(int key) {
    press(key);
    spoken();
  }
  // The one sentence said in answer to a piano button, a computer key, a
  // spoken request or a typed command.
  std::string afterPress(int key) {
    press(key);
    return spokenOne();
  }
  std::string afterKey(char key) {
    engine->computerKey(key);
    return spokenOne();
  }
  std::string afterHearing(const std::string& request) {
    engine->hear(request);
    return spokenOne();
  }
  std::string afterCommand(const std::string& command) {
    engine->appCommand(command);
    return spokenOne();
  }

  // The first of what was said since the last call (an opening, before the lesson goes on).
  std::string firstSpoken() {
    auto said = spoken();
    EXPECT_FALSE(said.empty());
    return said.empty() ? "" : said.front();
  }

  // Window lines since the last call, without "@" and the newline.
  std::vector<std::string> windowLines() {
    runtime.runReady();
    std::vector<std::string> result;
    for (auto& line : lines) result.push_back(line.substr(1, line.size() - 2));
    lines.clear();
    return result;
  }

  std::string logText() { return files::readFile(home / "log.txt").value_or(""); }
};

}  // namespace orvo
