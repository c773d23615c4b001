// The AI's own overhead, with the stand-in tool answering at once: a question
// to the warm session (line written, result parsed, answer returned) against
// a one-shot question (a process started per question), in the same run, and
// runTool on a trivial program.

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>

#include "bench-figures.h"
#include "platform/run-tool.h"
#include "platform/thread-runtime.h"
#include "voice/ai.h"

namespace {

const std::filesystem::path kStandIn =
    std::filesystem::path(ORVO_SOURCE_DIR) / "tests/voice/claude-stand-in.py";

void BM_SessionQuestion(benchmark::State& state) {
  orvo::ThreadRuntime runtime(1);
  orvo::NoLocalAI local;
  orvo::AISession session(runtime, local, [](const std::string&) {});
  session.setToolPath([] { return std::optional<std::filesystem::path>(kStandIn); });
  session.ask("warm up", "bench");
  std::vector<double> micros;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    auto answer = session.ask("how many sharps in E major", "bench");
    micros.push_back(orvo::bench::microsSince(start));
    if (answer != "an answer") state.SkipWithError(("unexpected: " + answer).c_str());
  }
  orvo::bench::reportMicros(state, micros);
  session.shutDown();
}
BENCHMARK(BM_SessionQuestion)->Unit(benchmark::kMicrosecond)->Iterations(200);

void BM_OneShotQuestion(benchmark::State& state) {
  orvo::ThreadRuntime runtime(1);
  orvo::NoLocalAI local;
  orvo::AISession session(runtime, local, [](const std::string&) {});
  session.setToolPath([] { return std::optional<std::filesystem::path>(kStandIn); });
  std::vector<double> micros;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    auto answer = session.askOnce("how many sharps in E major", "Right now: at home.");
    micros.push_back(orvo::bench::microsSince(start));
    if (answer != "an answer") state.SkipWithError(("unexpected: " + answer).c_str());
  }
  orvo::bench::reportMicros(state, micros);
}
BENCHMARK(BM_OneShotQuestion)->Unit(benchmark::kMillisecond)->Iterations(30);

void BM_RunToolTrivial(benchmark::State& state) {
  orvo::ThreadRuntime runtime(1);
  std::vector<double> micros;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    auto run = orvo::runTool(runtime, "/bin/true", {}, "");
    micros.push_back(orvo::bench::microsSince(start));
    if (!run.ok) state.SkipWithError("/bin/true failed");
  }
  orvo::bench::reportMicros(state, micros);
}
BENCHMARK(BM_RunToolTrivial)->Unit(benchmark::kMillisecond)->Iterations(100);

}  // namespace
