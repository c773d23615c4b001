// The listener: the cost of each partial result of a 15-word utterance as it
// grows a word at a time, of rewriting the name in one sentence, and, through
// the binary, from "Orvo stop" written to the window line that says it acted.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include <sstream>

#include "bench-figures.h"
#include "diagnostics/trace-world.h"
#include "doubles/virtual-runtime.h"
#include "e2e/orvo-process.h"
#include "engine/engine.h"
#include "platform/files.h"
#include "temp-folder.h"
#include "voice/ears.h"
#include "voice/wake-name.h"

namespace {

struct QuietLink final : orvo::EarsLink {
  Speaking speaking() override { return {"Hello. I'm Orvo, your piano teacher.", -100.0}; }
  bool naming() override { return false; }
  std::string hear(const std::string&, bool, bool) override { return "acted"; }
  void interrupt() override {}
  void duck(bool) override {}
  void chime(const std::vector<int>&, int, double) override {}
  void ui(std::string_view) override {}
};

void BM_PartialOfAGrowingUtterance(benchmark::State& state) {
  orvo::testing::TempFolder home;
  orvo::VirtualRuntime runtime;
  QuietLink link;
  orvo::Ears ears({.runtime = runtime, .link = link, .baseDir = home.path()});
  const std::vector<std::string> words = {"Orvo",  "please", "play", "me",   "the",
                                          "blues", "in",     "G",    "with", "the",
                                          "band",  "a",      "bit",  "more", "slowly"};
  std::vector<double> micros;
  for (auto _ : state) {
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) {
      text += (i ? " " : "") + words[i];
      auto start = std::chrono::steady_clock::now();
      benchmark::DoNotOptimize(ears.partial(text, i + 1 == words.size()));
      micros.push_back(orvo::bench::microsSince(start));
    }
    runtime.advance(30.0);  // it acts, and every window closes
  }
  orvo::bench::reportMicros(state, micros);
}
BENCHMARK(BM_PartialOfAGrowingUtterance)->Iterations(2000);

void BM_TidyOneSentence(benchmark::State& state) {
  const std::string sentence = "Hey or vo, could you play me something in the key of G please";
  for (auto _ : state) benchmark::DoNotOptimize(orvo::wake::tidy(sentence, "orvo"));
}
BENCHMARK(BM_TidyOneSentence);

// The request waits 0.02 s after a final "stop"; the rest is the pipe, the
// key reader, the listener and the window queue.
void BM_EarStopToEarreset(benchmark::State& state) {
  orvo::testing::TempFolder home;
  orvo::testing::OrvoProcess orvo({.home = home.path()});
  if (!orvo.waitFor("No piano found yet. Plug it in and I will pick it up.")) {
    return state.SkipWithError("no greeting");
  }
  for (auto _ : state) {
    std::this_thread::sleep_for(std::chrono::milliseconds(700));  // its answer is over
    auto start = std::chrono::steady_clock::now();
    orvo.write("~ear 1 Orvo stop\n");
    auto reset = orvo.waitFor("@earreset", 5.0);
    auto took = std::chrono::steady_clock::now() - start;
    if (!reset) return state.SkipWithError("no earreset");
    state.SetIterationTime(std::chrono::duration<double>(took).count());
  }
  orvo.closeInput();
  orvo.waitExit();
}
BENCHMARK(BM_EarStopToEarreset)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

namespace {

std::vector<std::string> phrasings() {
  std::vector<std::string> sentences;
  auto text = orvo::files::readFile(std::string(ORVO_SOURCE_DIR) + "/tests/e2e/data/phrasings.txt");
  std::istringstream in(text.value_or(""));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    auto first = line.find(" | ");
    auto second = line.find(" | ", first + 3);
    if (first != std::string::npos && second != std::string::npos) {
      sentences.push_back(line.substr(first + 3, second - first - 3));
    }
  }
  return sentences;
}

// Every sentence of the phrasing table heard by an engine whose speaker says
// nothing, on the virtual clock: the cost of understanding alone.
void BM_HearEachPhrasing(benchmark::State& state) {
  orvo::testing::TempFolder home;
  // Not the fast mode: what a request starts runs later, as activities do, and
  // is dropped here, so the figure is the cost of understanding and dispatching.
  orvo::TraceWorld world({.secondsPerCharacter = 0.0, .saying = [](auto&) {}});
  if (!world.ready()) return state.SkipWithError("no folder");
  auto sentences = phrasings();
  std::vector<double> micros;
  for (auto _ : state) {
    for (const auto& sentence : sentences) {
      auto start = std::chrono::steady_clock::now();
      benchmark::DoNotOptimize(world.engine().hear(sentence));
      micros.push_back(orvo::bench::microsSince(start));
      world.runtime().discardPending();
    }
  }
  state.counters["sentences"] = static_cast<double>(sentences.size());
  orvo::bench::reportMicros(state, micros);
}
BENCHMARK(BM_HearEachPhrasing)->Iterations(20);

void BM_HeardOfEachPhrasing(benchmark::State& state) {
  auto sentences = phrasings();
  std::vector<double> micros;
  for (auto _ : state) {
    for (const auto& sentence : sentences) {
      auto start = std::chrono::steady_clock::now();
      benchmark::DoNotOptimize(orvo::Heard(sentence));
      micros.push_back(orvo::bench::microsSince(start));
    }
  }
  orvo::bench::reportMicros(state, micros);
}
BENCHMARK(BM_HeardOfEachPhrasing)->Iterations(50);

// The whole table through one --route run of the binary.
void BM_RouteTheWholeTable(benchmark::State& state) {
  auto sentences = phrasings();
  for (auto _ : state) {
    orvo::testing::TempFolder home;
    std::vector<std::string> args = {"--route"};
    args.insert(args.end(), sentences.begin(), sentences.end());
    auto start = std::chrono::steady_clock::now();
    orvo::testing::OrvoProcess orvo({.home = home.path(), .args = args, .window = false});
    orvo.waitExit(60);
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
}
BENCHMARK(BM_RouteTheWholeTable)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
