// The engine's lock as the note path meets it: a MIDI thread (real-time where
// the system allows) plays a note every 5 ms into the real engine on real
// threads, while the main thread does what a busy session does at the same
// time: buttons, requests, composition with its band, the metronome, home.
// Reported: how long each note call took, waiting for the lock included
// (p50/p99/max, microseconds), and the longest of the other callers' calls,
// which hold the lock for at most that long. Argument 1: beside two busy cores.

#include <sched.h>

#include <atomic>
#include <thread>

#include "bench-figures.h"
#include "cpu-load.h"
#include "platform/thread-runtime.h"

namespace {

void BM_NoteBesideABusySession(benchmark::State& state) {
  orvo::bench::CpuLoad load(state.range(0) == 1, 2);
  if (state.range(0) == 1 && !load.running()) return state.SkipWithError("no stress-ng");
  orvo::ThreadRuntime runtime{4};
  orvo::bench::EngineWorld world{{}, nullptr, &runtime};
  orvo::Engine& engine = world.engine;
  std::thread mainLoop([&] { runtime.runMainLoop(); });
  const orvo::ButtonKeys keys = engine.keys();

  std::atomic<bool> playing{true};
  std::vector<double> notes;
  notes.reserve(1 << 16);
  bool realTime = false;
  std::thread midiThread([&] {
    sched_param high{sched_get_priority_min(SCHED_FIFO)};
    realTime = pthread_setschedparam(pthread_self(), SCHED_FIFO, &high) == 0;
    for (int i = 0; playing; ++i) {
      const int pitch = 48 + (i * 7) % 24;
      for (int velocity : {90, 0}) {
        const auto start = std::chrono::steady_clock::now();
        engine.noteEvent(pitch, velocity);
        notes.push_back(orvo::bench::microsSince(start));
        std::this_thread::sleep_for(std::chrono::microseconds(2500));
      }
    }
  });

  // What the player does meanwhile, each step timed.
  const std::vector<std::pair<const char*, std::function<void()>>> session = {
      {"compose key", [&] { engine.command(keys.compose); }},
      {"what key", [&] { engine.hear("what key is this in"); }},
      {"band", [&] { engine.command(keys.hear); }},
      {"variation", [&] { engine.computerKey('n'); }},
      {"chord", [&] { engine.hear("what chord am I holding"); }},
      {"metronome", [&] { engine.hear("metronome at 100"); }},
      {"help", [&] { engine.command(keys.help); }},
      {"stop", [&] { engine.stopEverything(); }},
      {"home", [&] { engine.command(keys.home); }},
      {"next", [&] { engine.command(keys.next); }},
      {"live band", [&] { engine.toggleLive(); }},
  };
  double longest = 0;
  const char* longestName = "";
  for (auto _ : state) {
    for (int round = 0; round < 4; ++round) {
      for (const auto& [name, step] : session) {
        const auto start = std::chrono::steady_clock::now();
        step();
        const double took = orvo::bench::microsSince(start);
        if (took > longest) longest = took, longestName = name;
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
      }
    }
  }
  playing = false;
  midiThread.join();
  world.world.closeEngine();
  runtime.stopMainLoop();
  mainLoop.join();
  std::sort(notes.begin(), notes.end());
  state.counters["notes"] = static_cast<double>(notes.size());
  state.counters["note_p50_us"] = notes[notes.size() / 2];
  state.counters["note_p99_us"] = notes[notes.size() * 99 / 100];
  state.counters["note_max_us"] = notes.back();
  state.counters["other_call_max_us"] = longest;
  state.counters["midi_thread_fifo"] = realTime;
  state.SetLabel(std::string("longest other call: ") + longestName);
}
BENCHMARK(BM_NoteBesideABusySession)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
