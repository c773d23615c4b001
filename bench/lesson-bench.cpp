// Judging one note of a lesson, as the MIDI thread does it under the engine
// lock: a right note, a wrong note and an early note of the next step.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "core/engine.h"
#include "platform/files.h"
#include "platform/midi/loopback/loopback-midi-backend.h"
#include "platform/virtual-runtime.h"
#include "temp-folder.h"

namespace orvo {

// The engine's test door: a long pass to judge, without presenting it.
struct EngineTestAccess {
  static void listen(Engine& engine, int steps) {
    std::lock_guard guard(engine.lock);
    Song song;
    song.name = "Bench";
    song.bpm = 100;
    for (int i = 0; i < 4; ++i) song.notes.push_back({static_cast<double>(i), 1, 60, 80, 0});
    engine.lesson_.emplace(song);
    engine.setMode(Mode::teach);
    engine.curSteps_.clear();
    // Steps a tenth of a beat apart (0.06 s): the next one may be played early.
    for (int i = 0; i < steps; ++i) engine.curSteps_.push_back({i * 0.1, {60 + (i % 2) * 2}});
    engine.waiting_ = true;
    engine.stepIdx_ = 0;
    engine.stepTimes_.reserve(static_cast<std::size_t>(steps) + 1);
    engine.missAt_.assign(static_cast<std::size_t>(steps) + 1, 0);
    engine.lastMistake_ = -100;
  }
};

}  // namespace orvo

namespace {

struct QuietSpeaker final : orvo::SpeechOutput {
  void say(const std::string&) override {}
  void stop() override {}
  void silenceNow() override {}
  std::string voiceName() override { return ""; }
  std::string nextVoice() override { return ""; }
};

struct World {
  orvo::testing::TempFolder home;
  orvo::VirtualRuntime runtime;
  orvo::Window window{runtime.serial("lorimel.ui"), true, [](std::string_view) {}};
  orvo::Log log{home / "log.txt"};
  QuietSpeaker speaker;
  orvo::Opt opt;
  orvo::NoMusicPlayer player;
  orvo::LoopbackMidiBackend backend;
  orvo::MidiIO midi{backend, runtime, opt, [](const std::string&) {}, false};
  orvo::Sounds sounds{{runtime, opt, [](const std::string&) {}, home.path(), std::nullopt}};
  std::unique_ptr<orvo::Engine> engine;
  World() {
    orvo::files::writeFileAtomically(home / "top-key.txt", "108\n");
    engine = std::make_unique<orvo::Engine>(
        orvo::EngineParts{runtime, window, log, speaker, opt, player, midi, sounds, home.path()});
  }
};

void report(benchmark::State& state, std::vector<double>& micros) {
  std::sort(micros.begin(), micros.end());
  if (micros.empty()) return;
  state.counters["p50_us"] = micros[micros.size() / 2];
  state.counters["p99_us"] = micros[micros.size() * 99 / 100];
}

template <typename Press>
void judge(benchmark::State& state, int notes, Press&& press, double apart = 0) {
  World world;
  std::vector<double> micros;
  for (auto _ : state) {
    state.PauseTiming();
    orvo::EngineTestAccess::listen(*world.engine, notes + 2);
    world.runtime.runReady();
    world.backend.published.clear();
    state.ResumeTiming();
    for (int i = 0; i < notes; ++i) {
      auto start = std::chrono::steady_clock::now();
      press(*world.engine, i);
      micros.push_back(
          std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
              .count());
      if (apart > 0) world.runtime.sleep(apart);  // outside the measured call
    }
  }
  report(state, micros);
}

void BM_JudgeRightNote(benchmark::State& state) {
  judge(state, 1000, [](orvo::Engine& engine, int i) { engine.noteEvent(60 + (i % 2) * 2, 90); });
}
void BM_JudgeWrongNote(benchmark::State& state) {
  // Far enough apart that each one counts (a knock, a flash, and every third the note told).
  judge(
      state, 1000, [](orvo::Engine& engine, int) { engine.noteEvent(30, 90); }, 0.2);
}
void BM_JudgeEarlyNote(benchmark::State& state) {
  judge(state, 1000, [](orvo::Engine& engine, int) { engine.noteEvent(62, 90); });
}
BENCHMARK(BM_JudgeRightNote)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JudgeWrongNote)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JudgeEarlyNote)->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace
