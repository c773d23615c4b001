// The REAPER link: reading a 50-track snapshot, the bridge building it in
// Lua, and whole round trips through the real exchange files, once with the
// bridge on REAPER's idle rate and once pumped in the link's wait.

#include <atomic>
#include <cstdio>
#include <thread>

#include "bench-figures.h"
#include "e2e/orvo-process.h"
#include "platform/files.h"
#include "studio/daw-understand.h"
#include "studio/reaper-adapter.h"
#include "studio/reaper-link.h"
#include "studio/reaper-snapshot.h"
#include "studio/temp-reaper.h"

namespace orvo::bench {
namespace {

// 50 tracks with 4 plug-ins and 2 sends each.
std::string bigProject() {
  std::string project = "{ tracks = {";
  for (int i = 1; i <= 50; ++i) {
    project +=
        "{ name = 'Track " + std::to_string(i) +
        "', db = -3, items = 2, fx = { 'VST: ReaEQ (Cockos)', "
        "'VST: ReaComp (Cockos)', 'VST: ReaDelay (Cockos)', 'VST: ReaLimit (Cockos)' }, sends = { "
        "{ to = 'Track 1', db = -12 }, { to = 'Track 2', db = -18 } } },";
  }
  return project + "} }";
}

std::string bigSnapshot() {
  std::string text = "P|playing|bar 12, beat 3|120.0\n0|Master|0.0|0|0|0|0|0|ReaLimit|1||0\n";
  for (int i = 1; i <= 50; ++i) {
    text += std::to_string(i) + "|Track " + std::to_string(i) +
            "|-3.0|0|0|0|0|0|VST: ReaEQ (Cockos);VST: ReaComp (Cockos);VST: ReaDelay (Cockos);VST: "
            "ReaLimit (Cockos)|1;1;1;1|Track 1@-12.0;Track 2@-18.0|2\n";
  }
  return text;
}

void BM_ParseSnapshot50Tracks(benchmark::State& state) {
  const std::string text = bigSnapshot();
  for (auto _ : state) benchmark::DoNotOptimize(parseSnapshot(text));
}
BENCHMARK(BM_ParseSnapshot50Tracks)->Unit(benchmark::kMicrosecond);

// The bridge taking a snapshot request and writing its reply: one pump.
void BM_BridgeBuildsSnapshot50Tracks(benchmark::State& state) {
  testing::PretendReaper reaper(bigProject(), false);
  const auto command = reaper.exchange() / "cmd.txt";
  long number = 1;
  for (auto _ : state) {
    files::writeFileAtomically(command, std::to_string(number++) + "\tsnapshot");
    reaper.studio->pump();
  }
}
BENCHMARK(BM_BridgeBuildsSnapshot50Tracks)->Unit(benchmark::kMillisecond);

// REAPER's idle rate: the bridge runs every 33 ms on its own thread while the
// link waits on the real clock.
void BM_SnapshotRoundTripAtReaperRate(benchmark::State& state) {
  testing::PretendReaper reaper(bigProject(), false);
  Reaper::Setup setup = Reaper::defaultSetup();
  setup.resources = reaper.resources();
  Reaper::setUp(setup);
  std::atomic<bool> going{true};
  std::thread idle([&] {
    while (going) {
      reaper.studio->pump();
      std::this_thread::sleep_for(std::chrono::milliseconds(33));
    }
  });
  std::vector<double> micros;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(Reaper::sendList({"snapshot"}));
    micros.push_back(microsSince(start));
  }
  going = false;
  idle.join();
  reportMicros(state, micros);
}
BENCHMARK(BM_SnapshotRoundTripAtReaperRate)->Unit(benchmark::kMillisecond)->Iterations(100);

// The pretend REAPER: the bridge pumped inside the wait.
void BM_SnapshotRoundTripPumpedInTheWait(benchmark::State& state) {
  testing::PretendReaper reaper(bigProject());
  std::vector<double> micros;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(Reaper::sendList({"snapshot"}));
    micros.push_back(microsSince(start));
  }
  reportMicros(state, micros);
}
BENCHMARK(BM_SnapshotRoundTripPumpedInTheWait)->Unit(benchmark::kMicrosecond);

// Twenty typical requests understood against a 50-track project. The one
// that reads a plug-in's settings asks the pretend REAPER (pumped in the
// wait); with the argument 0 it is left out, to time understanding alone.
void BM_UnderstandTwentyRequests(benchmark::State& state) {
  testing::PretendReaper reaper(bigProject());
  ReaperAdapter adapter;
  Daw daw(adapter);
  const DawState project = *adapter.state();
  const std::vector<Heard> requests = [] {
    std::vector<Heard> out;
    for (const char* text : {"what did you change",
                             "how many tracks",
                             "which tracks are muted",
                             "what track am i on",
                             "is anything wrong before exporting",
                             "what plugins are on track 12",
                             "mute track 7",
                             "solo track 3",
                             "set the track 20 volume to minus 10",
                             "turn track 9 down a little",
                             "pan track 4 30 percent left",
                             "next track",
                             "rename track 5 to lead guitar",
                             "delete track 40",
                             "move track 2 below track 8",
                             "add a compressor to track 6",
                             "lower the threshold a little on track 6",
                             "tempo 96",
                             "play",
                             "what time is it"}) {
      out.emplace_back(text);
    }
    return out;
  }();
  std::vector<double> micros;
  for (auto _ : state) {
    for (const Heard& heard : requests) {
      if (state.range(0) == 0 && heard.text.find("threshold") != std::string::npos) continue;
      auto start = std::chrono::steady_clock::now();
      benchmark::DoNotOptimize(understand(daw, heard, project));
      micros.push_back(microsSince(start));
    }
  }
  reportMicros(state, micros);
}
BENCHMARK(BM_UnderstandTwentyRequests)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace orvo::bench

namespace orvo::bench {
namespace {

// Twenty studio requests through the real binary against the pretend REAPER,
// from exec to exit, with the share of it the bridge's idle ticks took.
void BM_TwentyRequestRouteWithThePretendReaper(benchmark::State& state) {
  const std::vector<std::string> requests = {"--route",
                                             "--reaper",
                                             "how many tracks",
                                             "mute the vocal",
                                             "the lead one",
                                             "which tracks are muted",
                                             "set the bass volume to minus 6 decibels",
                                             "pan the piano left",
                                             "add a reverb to the drum room",
                                             "what plugins are on the bass",
                                             "bypass the eq on the bass",
                                             "tempo 500",
                                             "set the tempo to 90",
                                             "play",
                                             "solo the kick",
                                             "rename the piano to keys",
                                             "delete the drum room track",
                                             "yes",
                                             "what did you change",
                                             "undo",
                                             "tell me about the lead vocals",
                                             "help me prepare my lead vocal for mixing"};
  double bridgeMs = 0;
  double wholeMs = 0;
  for (auto _ : state) {
    testing::TempFolder home;
    auto start = std::chrono::steady_clock::now();
    testing::OrvoProcess orvo({.home = home.path(), .args = requests, .window = false});
    auto status = orvo.waitExit(30);
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!status || *status != 0) return state.SkipWithError("the trace did not end well");
    for (const auto& line : orvo.lines()) {
      double ms = 0;
      if (std::sscanf(line.c_str(), "  bridge: %lf ms", &ms) == 1) bridgeMs += ms;
    }
    wholeMs += took * 1000.0;
    state.SetIterationTime(took);
  }
  state.counters["bridge_share_pct"] = wholeMs > 0 ? 100.0 * bridgeMs / wholeMs : 0;
}
BENCHMARK(BM_TwentyRequestRouteWithThePretendReaper)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

}  // namespace
}  // namespace orvo::bench
