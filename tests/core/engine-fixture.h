#pragma once
// An engine on a virtual clock with a speaker that records sentences, a window
// that records lines and a fresh data folder.

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/engine.h"
#include "platform/files.h"
#include "platform/midi/loopback/loopback-midi-backend.h"
#include "platform/virtual-runtime.h"
#include "temp-folder.h"

namespace orvo {

struct RecordingSpeaker final : SpeechOutput {
  std::mutex mutex;
  std::vector<std::string> said;
  int stops = 0;
  void say(const std::string& text) override {
    std::lock_guard guard(mutex);
    said.push_back(text);
  }
  void stop() override {
    std::lock_guard guard(mutex);
    ++stops;
  }
  void silenceNow() override { stop(); }
  std::string voiceName() override { return ""; }
  std::string nextVoice() override { return "No other voices"; }
};

struct FakeMusicPlayer final : MusicPlayer {
  bool isPlaying = false;
  bool stopsWhenAsked = true;
  bool playing() override { return isPlaying; }
  bool pause() override {
    if (stopsWhenAsked) isPlaying = false;
    return !isPlaying;
  }
};

// Puts the engine into states that later subsystems reach.
struct EngineTestAccess {
  static void enterLesson(Engine& engine, std::size_t steps, std::size_t stepIdx, bool waiting) {
    std::lock_guard guard(engine.lock);
    engine.setMode(Mode::teach);
    engine.lesson_ = Lesson(engine.songs_.at(0));
    engine.curSteps_.assign(steps, Step{0, {60}});
    engine.stepIdx_ = stepIdx;
    engine.waiting_ = waiting;
  }
  static bool waiting(Engine& engine) {
    std::lock_guard guard(engine.lock);
    return engine.waiting_;
  }
  static void setMode(Engine& engine, Mode mode) { engine.setMode(mode); }
  static void useSongs(Engine& engine, std::vector<Song> songs) {
    std::lock_guard guard(engine.lock);
    engine.songs_ = std::move(songs);
  }
  static std::size_t stepCount(Engine& engine) {
    std::lock_guard guard(engine.lock);
    return engine.curSteps_.size();
  }
  static void setMetronome(Engine& engine, int bpm) {
    std::lock_guard guard(engine.lock);
    engine.metroBPM_ = bpm;
  }
};

class EngineTest : public ::testing::Test {
 protected:
  testing::TempFolder home;
  VirtualRuntime runtime{7};
  std::vector<std::string> lines;
  Window window{runtime.serial("lorimel.ui"), true,
                [this](std::string_view bytes) { lines.emplace_back(bytes); }};
  Log log{home / "log.txt"};
  RecordingSpeaker speaker;
  Opt opt;
  FakeMusicPlayer player;
  LoopbackMidiBackend midiBackend;
  MidiIO midi{midiBackend, runtime, opt, [](const std::string&) {}, false};
  Sounds sounds{{.runtime = runtime,
                 .opt = opt,
                 .log = [this](const std::string& line) { log.logLine(line); },
                 .baseDir = home.path(),
                 .bank = std::nullopt}};
  std::map<std::string, std::vector<Ev>> pianoSpeech;  // what the talk keys play, by sentence
  std::vector<std::string> quits;
  ButtonKeys keys;
  // A player whose 88-key piano's top key is already known.
  bool topKeyKnown = files::writeFileAtomically(home / "top-key.txt", "108\n");
  std::unique_ptr<Engine> engine = makeEngine();

  std::unique_ptr<Engine> makeEngine(std::vector<std::filesystem::path> songFolders = {}) {
    return std::make_unique<Engine>(EngineParts{
        .runtime = runtime,
        .window = window,
        .log = log,
        .speaker = speaker,
        .opt = opt,
        .musicPlayer = player,
        .midi = midi,
        .sounds = sounds,
        .baseDir = home.path(),
        .songFolders = std::move(songFolders),
        .quit = [this](const std::string& reason, int) { quits.push_back(reason); },
        .pianoSpeech = [this](const std::string& sentence) -> std::optional<std::vector<Ev>> {
          auto found = pianoSpeech.find(sentence);
          if (found == pianoSpeech.end()) return std::nullopt;
          return found->second;
        },
    });
  }

  // A new run of the program over the same data folder.
  void restartEngine() {
    engine.reset();
    runtime.discardPending();
    engine = makeEngine();
  }

  void press(int key) { engine->command(key); }

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
