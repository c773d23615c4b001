// From exec to the greeting's window line, with a fresh data folder each time.

#include <benchmark/benchmark.h>

#include "e2e/orvo-process.h"
#include "temp-folder.h"

namespace {

void BM_ExecToWelcome(benchmark::State& state) {
  for (auto _ : state) {
    orvo::testing::TempFolder home;
    auto start = std::chrono::steady_clock::now();
    orvo::testing::OrvoProcess orvo({.home = home.path()});
    auto welcome = orvo.waitForPrefix("@welcome");
    auto took = std::chrono::steady_clock::now() - start;
    if (!welcome) state.SkipWithError("no welcome line");
    state.SetIterationTime(std::chrono::duration<double>(took).count());
    orvo.closeInput();
    orvo.waitExit();
  }
}
BENCHMARK(BM_ExecToWelcome)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

}  // namespace
