// What looking for the studios costs (the two process checks a heard
// sentence would need), and opening REAPER against the tests' fake REAPER.

#include <benchmark/benchmark.h>

#include <sys/types.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "e2e/orvo-process.h"
#include "platform/files.h"
#include "platform/run-tool.h"
#include "platform/thread-runtime.h"
#include "temp-folder.h"

namespace {

double percentile(std::vector<double> values, double share) {
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(share * static_cast<double>(values.size() - 1))];
}

// The request path reads the studios' last look instead: this is what a look
// made for each sentence would add.
void BM_StudioPresenceCheck(benchmark::State& state) {
  orvo::ThreadRuntime runtime(1);
  std::vector<double> ms;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(orvo::processNamed(runtime, "Logic Pro"));
    benchmark::DoNotOptimize(orvo::processNamed(runtime, "reaper"));
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
  }
  state.counters["p50_ms"] = percentile(ms, 0.5);
  state.counters["p99_ms"] = percentile(ms, 0.99);
}
BENCHMARK(BM_StudioPresenceCheck)->Iterations(200)->Unit(benchmark::kMillisecond);

void BM_OpenReaperToItsMenu(benchmark::State& state) {
  for (auto _ : state) {
    orvo::testing::TempFolder home;
    const auto resources = home / ".config" / "REAPER";
    std::filesystem::create_directories(resources);
    const std::string path = std::string(ORVO_FAKE_REAPER_DIR) + ":/usr/bin:/bin";
    orvo::testing::OrvoProcess orvo(
        {.home = home.path(), .env = {{"HOME", home.path().string()}, {"PATH", path}}});
    if (!orvo.waitForPrefix("@welcome")) return state.SkipWithError("no welcome line");
    const auto start = std::chrono::steady_clock::now();
    orvo.write("r");
    auto opened = orvo.waitForPrefix("REAPER control. ", 60);
    const auto took = std::chrono::steady_clock::now() - start;
    if (!opened) state.SkipWithError("REAPER control never came");
    state.SetIterationTime(std::chrono::duration<double>(took).count());
    orvo.closeInput();
    orvo.waitExit();
    const int pid =
        std::atoi(orvo::files::readFile(resources / "fake-reaper.pid").value_or("0").c_str());
    if (pid > 1) ::kill(pid, SIGTERM);
  }
}
BENCHMARK(BM_OpenReaperToItsMenu)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
