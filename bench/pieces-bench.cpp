// Saved pieces: saving a 3,000-note take with the full band (analysis, band,
// file and memory), the engine lock a save-key press holds, the newest of
// 2,000 ideas, and the piano roll's reading of the largest Debian MIDI file
// against python3-mido and midicsv in the same run.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <mutex>

#include "bench-figures.h"
#include "compose/analysis.h"
#include "compose/ideas-folder.h"
#include "compose/roll-reader.h"
#include "outside-programs.h"
#include "platform/child-process.h"
#include "rooms/compose/compose-room.h"

namespace {

using orvo::RNote;

// A 3,000-note take of about ten minutes: a left hand on four chords and a tune.
std::vector<RNote> longTake() {
  static const int roots[] = {48, 43, 45, 41};
  std::vector<RNote> notes;
  for (int i = 0; i < 3000; ++i) {
    const double t = i * 0.2;
    const int root = roots[(i / 16) % 4];
    const int pitch = i % 4 == 0 ? root : root + 12 + (i * 7) % 12;
    notes.push_back({t, t + 0.18, pitch, 60 + i % 40, 0, -1});
  }
  return notes;
}

void BM_SaveIdea(benchmark::State& state) {
  orvo::bench::EngineWorld world;
  {
    std::lock_guard guard(world.engine.lock);
    world.engine.compose().setBandStyle("full");
  }
  world.runtime.runReady();
  const std::vector<RNote> take = longTake();
  std::vector<double> micros;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const orvo::Analysis analysis = orvo::analyse(take);
    auto stem = world.engine.compose().pieces().saveIdea(take, analysis, std::nullopt);
    world.runtime.runReady();  // the memory written by the store
    micros.push_back(orvo::bench::microsSince(start));
    if (!stem) state.SkipWithError("not saved");
  }
  orvo::bench::reportMicros(state, micros);
}
BENCHMARK(BM_SaveIdea)->Unit(benchmark::kMillisecond)->Iterations(20);

// The save key copies the take under the engine lock; the rest runs in the activity.
void BM_SaveKeyLock(benchmark::State& state) {
  orvo::bench::EngineWorld world;
  const auto keys = world.engine.buttonKeys();
  world.engine.command(keys.compose);
  world.runtime.runReady();
  for (const RNote& note : longTake()) {
    world.engine.noteEvent(note.pitch, note.vel);
    world.runtime.advance(0.15);
    world.engine.noteEvent(note.pitch, 0);
    world.runtime.advance(0.05);
  }
  std::vector<double> micros;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    world.engine.command(keys.back);
    micros.push_back(orvo::bench::microsSince(start));
    state.PauseTiming();
    world.runtime.runReady();
    state.ResumeTiming();
  }
  orvo::bench::reportMicros(state, micros);
}
BENCHMARK(BM_SaveKeyLock)->Unit(benchmark::kMicrosecond)->Iterations(20);

void BM_NewestOf2000Ideas(benchmark::State& state) {
  orvo::testing::TempFolder folder;
  orvo::IdeasFolder ideas(folder.path());
  const std::vector<std::uint8_t> bytes(2000, 'x');
  for (int i = 0; i < 2000; ++i) ideas.write("idea " + std::to_string(i), bytes);
  std::vector<double> micros;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    auto newest = ideas.newest();
    micros.push_back(orvo::bench::microsSince(start));
    if (!newest) state.SkipWithError("none found");
    benchmark::DoNotOptimize(newest);
  }
  orvo::bench::reportMicros(state, micros);
}
BENCHMARK(BM_NewestOf2000Ideas)->Unit(benchmark::kMillisecond)->Iterations(50);

const char* kMidoRoll = R"(
import sys, time, mido
best = None
for _ in range(3):
    start = time.perf_counter()
    f = mido.MidiFile(sys.argv[1])
    notes = 0
    for track in f.tracks:
        for m in track:
            if m.type == 'note_on' and m.velocity > 0: notes += 1
    took = time.perf_counter() - start
    best = took if best is None else min(best, took)
print(notes, best)
)";

void BM_RollReaderAgainstMidoAndMidicsv(benchmark::State& state) {
  auto files = orvo::testing::debianMidiFiles();
  if (files.empty()) {
    state.SkipWithError("no Debian MIDI packages (make test-deps)");
    return;
  }
  const auto largest = *std::max_element(files.begin(), files.end(), [](auto& a, auto& b) {
    return std::filesystem::file_size(a) < std::filesystem::file_size(b);
  });
  std::size_t notes = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    auto roll = orvo::readMIDIForRoll(largest);
    state.SetIterationTime(orvo::bench::microsSince(start) / 1e6);
    notes = roll ? roll->size() : 0;
  }
  state.counters["file_KB"] = static_cast<double>(std::filesystem::file_size(largest)) / 1024.0;
  state.counters["notes"] = static_cast<double>(notes);

  auto mido = orvo::ChildProcess::start({"/usr/bin/python3", "-c", kMidoRoll, largest.string()});
  if (mido && mido->wait(600) == 0) {
    long midoNotes = 0;
    double seconds = 0;
    std::sscanf(mido->output().c_str(), "%ld %lf", &midoNotes, &seconds);
    state.counters["mido_ms"] = seconds * 1000;
    state.counters["mido_notes"] = static_cast<double>(midoNotes);
  } else {
    state.counters["mido_ms"] = -1;
  }
  double best = -1;
  for (int i = 0; i < 3; ++i) {
    const auto start = std::chrono::steady_clock::now();
    auto midicsv = orvo::ChildProcess::start({"midicsv", largest.string()});
    if (!midicsv || midicsv->wait(600) != 0) break;
    const double took = orvo::bench::microsSince(start) / 1000;
    best = best < 0 ? took : std::min(best, took);
  }
  state.counters["midicsv_ms"] = best;
}
BENCHMARK(BM_RollReaderAgainstMidoAndMidicsv)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

}  // namespace
