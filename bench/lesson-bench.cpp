// The LessonJudge alone: one note judged against a long pass, for a right
// note, a wrong note and an early note of the next step.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "bench-figures.h"
#include "lessons/lesson-judge.h"

namespace {

template <typename Note>
void judge(benchmark::State& state, int notes, Note&& note, double apart) {
  // Steps a tenth of a beat apart (0.06 s): the next one may be played early.
  std::vector<orvo::Step> steps;
  for (int i = 0; i < notes + 2; ++i) steps.push_back({i * 0.1, {60 + (i % 2) * 2}});
  orvo::LessonJudge judge;
  std::vector<double> micros;
  micros.reserve(static_cast<std::size_t>(notes) * 32);
  for (auto _ : state) {
    judge.begin(steps, 100);
    double t = 0;
    for (int i = 0; i < notes; ++i) {
      auto start = std::chrono::steady_clock::now();
      benchmark::DoNotOptimize(judge.judge(note(i), t));
      micros.push_back(orvo::bench::microsSince(start));
      t += apart;
    }
  }
  orvo::bench::reportMicros(state, micros);
}

void BM_JudgeRightNote(benchmark::State& state) {
  judge(
      state, 1000, [](int i) { return 60 + (i % 2) * 2; }, 0.5);
}
void BM_JudgeWrongNote(benchmark::State& state) {
  judge(
      state, 1000, [](int) { return 30; }, 0.2);  // far enough apart that each one counts
}
void BM_JudgeEarlyNote(benchmark::State& state) {
  judge(
      state, 1000, [](int) { return 62; }, 0.0);
}
BENCHMARK(BM_JudgeRightNote)->Iterations(20);
BENCHMARK(BM_JudgeWrongNote)->Iterations(20);
BENCHMARK(BM_JudgeEarlyNote)->Iterations(20);

}  // namespace
