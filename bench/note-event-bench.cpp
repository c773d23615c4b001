// Engine::noteEvent during a lesson: a right note, a wrong note and the note
// that finishes a unit, each timed one call at a time and reported as p50 and
// p99 (microseconds). The clock is virtual, so nothing waits; what remains is
// the work the MIDI thread does itself.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "bench-figures.h"
#include "doubles/virtual-runtime.h"
#include "engine/engine.h"
#include "platform/file-store.h"
#include "platform/files.h"
#include "platform/midi/loopback/loopback-midi-backend.h"
#include "rooms/lesson/lesson-room.h"
#include "temp-folder.h"

namespace {

enum class Kind { right, wrong, finishing };

struct Lessons : orvo::bench::EngineWorld {
  // The steps of the unit now being taught, as the player must play them.
  std::vector<std::vector<int>> steps() {
    auto lesson = engine.lessons().currentLesson();
    std::vector<std::vector<int>> result;
    if (!lesson) return result;
    auto keys = engine.buttonKeys();
    for (auto& step :
         lesson->stepsIn(lesson->units[static_cast<std::size_t>(engine.lessons().currentUnit())])) {
      std::vector<int> pitches;
      for (int p : step.pitches)
        if (!keys.isCommandKey(p)) pitches.push_back(p);
      if (!pitches.empty()) result.push_back(pitches);
    }
    return result;
  }

  // Starts the first unit of the first song and waits until it listens.
  void begin() {
    engine.lessons().chooseSong(0);
    settle();
  }
  void settle() {
    for (int i = 0; i < 50; ++i) runtime.advance(1.0);
  }
};

void report(benchmark::State& state, std::vector<double>& times) {
  for (double& time : times) time *= 1e6;
  orvo::bench::reportMicros(state, times);
}

template <class F>
double timed(F&& f) {
  auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_NoteEvent(benchmark::State& state) {
  const auto kind = static_cast<Kind>(state.range(0));
  Lessons lessons;
  lessons.begin();
  std::vector<double> times;
  times.reserve(100000);
  for (auto _ : state) {
    auto steps = lessons.steps();
    if (steps.empty()) {
      state.SkipWithError("no lesson");
      break;
    }
    if (kind == Kind::wrong) {
      int wrong = steps[0][0] == 40 ? 41 : 40;
      times.push_back(timed([&] { lessons.engine.noteEvent(wrong, 90); }));
      lessons.engine.noteEvent(wrong, 0);
      lessons.runtime.advance(0.2);  // past the smudge rule, so each one counts
      continue;
    }
    // Every note but the last is a right note; the last finishes the unit.
    for (std::size_t i = 0; i < steps.size(); ++i) {
      bool last = i + 1 == steps.size();
      for (std::size_t n = 0; n < steps[i].size(); ++n) {
        bool measured =
            n + 1 == steps[i].size() && (last ? kind == Kind::finishing : kind == Kind::right);
        double took = timed([&] { lessons.engine.noteEvent(steps[i][n], 90); });
        if (measured) times.push_back(took);
      }
      for (int p : steps[i]) lessons.engine.noteEvent(p, 0);
      lessons.runtime.advance(0.3);
    }
    lessons.settle();
    if (lessons.engine.currentMode() != orvo::Mode::teach) lessons.begin();
  }
  report(state, times);
}
BENCHMARK(BM_NoteEvent)->Arg(0)->Name("BM_NoteEvent/right")->Iterations(300);
BENCHMARK(BM_NoteEvent)->Arg(1)->Name("BM_NoteEvent/wrong")->Iterations(3000);
BENCHMARK(BM_NoteEvent)->Arg(2)->Name("BM_NoteEvent/finishing")->Iterations(300);

}  // namespace
