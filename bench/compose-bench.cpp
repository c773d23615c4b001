// Composition: a note into a nearly full history in composition mode (timed
// one call at a time, allocations counted), one trim at 50,000 entries, and
// the analysis of takes of 300, 1,000 and 3,000 notes, generated and from
// real MIDI files. Beside them, in the same run: the beat search against the
// plain one it must equal, the key step against maia-util's, and the naming
// of chord windows against @tonaljs/chord-detect's (when the peers are in
// .peers: tools/maia-peer).

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <new>
#include <set>

#include <nlohmann/json.hpp>

#include "bench-figures.h"
#include "compose/analysis.h"
#include "compose/beat.h"
#include "compose/chords.h"
#include "compose/key-finding.h"
#include "compose/midi-take.h"
#include "compose/note-history.h"
#include "counting-allocator.h"
#include "doubles/virtual-runtime.h"
#include "engine/engine.h"
#include "outside-programs.h"
#include "platform/file-store.h"
#include "platform/files.h"
#include "platform/midi/loopback/loopback-midi-backend.h"
#include "rooms/compose/compose-room.h"
#include "temp-folder.h"

namespace {

using orvo::RNote;
using orvo::testing::allocationCount;
using orvo::testing::countAllocations;

void BM_ComposeNoteEvent(benchmark::State& state) {
  orvo::bench::EngineWorld world;
  world.engine.command(world.engine.buttonKeys().compose);
  world.runtime.runReady();
  for (int i = 0; i < 49000; ++i) {
    world.engine.noteEvent(40 + i % 40, 80);
    world.engine.noteEvent(40 + i % 40, 0);
  }
  std::vector<double> micros;
  micros.reserve(4000);
  allocationCount = 0;
  countAllocations = true;
  ::operator delete(::operator new(8));
  countAllocations = false;
  if (allocationCount.exchange(0) != 1)
    return state.SkipWithError("the allocation counter is not live");
  int i = 0;
  for (auto _ : state) {
    const int pitch = 48 + i++ % 24;
    auto start = std::chrono::steady_clock::now();
    countAllocations = true;
    world.engine.noteEvent(pitch, 90);
    world.engine.noteEvent(pitch, 0);
    countAllocations = false;
    micros.push_back(orvo::bench::microsSince(start));
  }
  orvo::bench::reportMicros(state, micros);
  state.counters["allocations"] = static_cast<double>(allocationCount.load());
  std::lock_guard guard(world.engine.lock);
  state.counters["history"] =
      static_cast<double>(world.engine.compose().history().entries().size());
}
// 49,000 + 1,000 never passes 50,000: no trim inside the timing.
BENCHMARK(BM_ComposeNoteEvent)->Iterations(1000);

void BM_TrimAt50000(benchmark::State& state) {
  std::vector<double> micros;
  for (auto _ : state) {
    state.PauseTiming();
    orvo::NoteHistory history;
    for (std::size_t i = 0; i <= orvo::NoteHistory::trimAbove; ++i) {
      history.record(60, 80, static_cast<double>(i));
      if (i < orvo::NoteHistory::trimAbove) history.record(60, 0, i + 0.5);
    }
    state.ResumeTiming();
    auto start = std::chrono::steady_clock::now();
    history.record(60, 0, 1e6);  // the release that lets the oldest half go
    micros.push_back(orvo::bench::microsSince(start));
    benchmark::DoNotOptimize(history.entries().size());
  }
  orvo::bench::reportMicros(state, micros);
}
BENCHMARK(BM_TrimAt50000)->Iterations(30);

std::vector<RNote> generated(int count) {
  std::vector<RNote> notes;
  unsigned seed = 7;
  auto next = [&] { return seed = seed * 1103515245u + 12345u; };
  static const int chords[4][3] = {{48, 52, 55}, {43, 47, 50}, {45, 48, 52}, {41, 45, 48}};
  double t = 0;
  for (int i = 0; static_cast<int>(notes.size()) < count; ++i) {
    const int* chord = chords[(i / 8) % 4];
    if (i % 4 == 0) notes.push_back({t, t + 1.9, chord[0] - 12, 80});
    notes.push_back({t, t + 0.45, chord[next() % 3] + 24 + static_cast<int>(next() % 2) * 12, 70});
    t += 0.5;
  }
  notes.resize(static_cast<std::size_t>(count));
  return notes;
}

// The opening `count` notes of the first real file long enough.
std::optional<std::vector<RNote>> realTake(std::size_t count) {
  for (const auto& file : orvo::testing::debianMidiFiles()) {
    auto take = orvo::takeFromMidiFile(file);
    if (take && take->size() >= count) {
      take->resize(count);
      return take;
    }
  }
  return std::nullopt;
}

void BM_Analyse(benchmark::State& state) {
  const bool real = state.range(1) != 0;
  const auto count = static_cast<int>(state.range(0));
  std::vector<RNote> take;
  if (real) {
    auto found = realTake(static_cast<std::size_t>(count));
    if (!found) return state.SkipWithError("no real MIDI files (openttd-openmsx)");
    take = *found;
  } else {
    take = generated(count);
  }
  std::vector<double> micros;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(orvo::analyse(take));
    micros.push_back(orvo::bench::microsSince(start));
  }
  orvo::bench::reportMicros(state, micros);
}
BENCHMARK(BM_Analyse)
    ->ArgsProduct({{300, 1000, 3000}, {0, 1}})
    ->ArgNames({"notes", "real"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

// The beat search as the rule reads, seven exponentials per interval and
// period: the reference the faster search must equal.
std::optional<double> plainBeat(const std::vector<RNote>& notes) {
  std::vector<double> onsets;
  for (const RNote& note : notes) onsets.push_back(note.t);
  std::sort(onsets.begin(), onsets.end());
  std::vector<double> intervals;
  double kept = 0;
  bool any = false;
  for (double onset : onsets) {
    if (any && onset - kept <= 0.06) continue;
    if (any && onset - kept > 0.08 && onset - kept < 3.0) intervals.push_back(onset - kept);
    kept = onset;
    any = true;
  }
  if (intervals.size() < 5) return std::nullopt;
  const double ratios[7][2] = {{1.0, 1.0}, {0.5, 0.85}, {2.0, 0.85}, {0.25, 0.6},
                               {1.5, 0.6}, {3.0, 0.6},  {4.0, 0.6}};
  double bestScore = -1, bestPeriod = 0;
  for (int i = 0; i < 134; ++i) {
    const double period = 0.33 + 0.005 * i;
    double score = 0;
    for (double interval : intervals) {
      double most = 0;
      for (auto& ratio : ratios) {
        const double d = std::fabs(interval / period - ratio[0]) / ratio[0];
        most = std::max(most, ratio[1] * std::exp(-(d * d) / 0.0072));
      }
      score += most;
    }
    if (score > bestScore) {
      bestScore = score;
      bestPeriod = period;
    }
  }
  if (bestScore / static_cast<double>(intervals.size()) > 0.5) return bestPeriod;
  return std::nullopt;
}

void BM_BeatSearch(benchmark::State& state) {
  const bool plain = state.range(0) != 0;
  auto files = orvo::testing::debianMidiFiles();
  std::vector<std::vector<RNote>> takes;
  for (const auto& file : files) {
    if (auto take = orvo::takeFromMidiFile(file)) {
      if (take->size() > 3000) take->resize(3000);
      takes.push_back(*take);
    }
  }
  takes.push_back(generated(3000));
  int differ = 0;
  for (const auto& take : takes) differ += plainBeat(take) != orvo::detectBeatRaw(take) ? 1 : 0;
  std::vector<double> micros;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    for (const auto& take : takes) {
      benchmark::DoNotOptimize(plain ? plainBeat(take) : orvo::detectBeatRaw(take));
    }
    micros.push_back(orvo::bench::microsSince(start) / static_cast<double>(takes.size()));
  }
  orvo::bench::reportMicros(state, micros);
  state.counters["takes"] = static_cast<double>(takes.size());
  state.counters["results_differ"] = differ;
}
BENCHMARK(BM_BeatSearch)
    ->Arg(0)
    ->Name("BM_BeatSearch/ours")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_BeatSearch)
    ->Arg(1)
    ->Name("BM_BeatSearch/plain")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

std::string peerFolder() {
  if (const char* set = std::getenv("ORVO_MAIA_PEER"); set && *set) return set;
  std::string folder = std::string(ORVO_SOURCE_DIR) + "/.peers/node_modules";
  return std::filesystem::exists(folder + "/maia-util") ? folder : "";
}

// Our key scores and maia-util's fifth_steps_mode on the same real takes:
// microseconds per take, each side in its own loop.
void BM_KeyStepAgainstMaiaUtil(benchmark::State& state) {
  const std::string peer = peerFolder();
  if (peer.empty()) return state.SkipWithError("maia-util is not in .peers (tools/maia-peer)");
  orvo::testing::TempFolder work;
  nlohmann::json takes = nlohmann::json::object();
  std::vector<std::vector<RNote>> ours;
  for (const auto& file : orvo::testing::debianMidiFiles()) {
    auto take = orvo::takeFromMidiFile(file);
    if (!take) continue;
    nlohmann::json notes = nlohmann::json::array();
    for (const RNote& note : *take) notes.push_back({note.t, note.end, note.pitch});
    takes[file.string()] = notes;
    ours.push_back(*take);
  }
  orvo::files::writeFileAtomically(work / "takes.json", takes.dump());
  auto theirs = nlohmann::json::parse(
      orvo::testing::commandOutput("node '" + std::string(ORVO_SOURCE_DIR) +
                                   "/tools/key-peer.js' '" + peer + "/maia-util' '" +
                                   (work / "takes.json").string() + "' --time 20"),
      nullptr, false);
  if (!theirs.is_object() || theirs.empty()) return state.SkipWithError("the peer gave no timings");
  double theirMicros = 0;
  for (auto& [name, micros] : theirs.items()) theirMicros += micros.get<double>();
  theirMicros /= static_cast<double>(theirs.size());
  std::vector<double> micros;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    for (const auto& take : ours) benchmark::DoNotOptimize(orvo::keyScores(take));
    micros.push_back(orvo::bench::microsSince(start) / static_cast<double>(ours.size()));
  }
  orvo::bench::reportMicros(state, micros);
  state.counters["maia_util_us"] = theirMicros;
  state.counters["ratio"] = theirMicros / micros[micros.size() / 2];
}
BENCHMARK(BM_KeyStepAgainstMaiaUtil)->Iterations(200);

// Naming each chord window of the real takes: our root and quality search on
// the window's notes, against tonal's detect on the window's pitch classes.
void BM_ChordNamingAgainstTonal(benchmark::State& state) {
  const std::string peer = peerFolder();
  if (peer.empty()) return state.SkipWithError("@tonaljs/chord-detect is not in .peers");
  struct Window {
    std::vector<RNote> notes;
    double length;
    int tonic;
    bool minor;
  };
  std::vector<Window> windows;
  nlohmann::json sets = nlohmann::json::array();
  for (const auto& file : orvo::testing::debianMidiFiles()) {
    auto take = orvo::takeFromMidiFile(file);
    if (!take) continue;
    orvo::Analysis analysis = orvo::analyse(*take);
    for (const orvo::Chord& chord : analysis.chords) {
      Window window{{}, chord.end - chord.start, analysis.tonic, analysis.minor};
      std::set<int> classes;
      for (const RNote& note : *take) {
        if (note.end > chord.start && note.t < chord.end) {
          window.notes.push_back({std::max(0.0, note.t - chord.start),
                                  std::min(note.end, chord.end) - chord.start, note.pitch,
                                  note.vel});
          classes.insert(note.pitch % 12);
        }
      }
      windows.push_back(std::move(window));
      sets.push_back(std::vector<int>(classes.begin(), classes.end()));
    }
  }
  orvo::testing::TempFolder work;
  orvo::files::writeFileAtomically(work / "sets.json", sets.dump());
  auto theirs = nlohmann::json::parse(
      orvo::testing::commandOutput("node '" + std::string(ORVO_SOURCE_DIR) +
                                   "/tools/chord-peer.js' '" + peer + "/@tonaljs/chord-detect' '" +
                                   (work / "sets.json").string() + "' 5"),
      nullptr, false);
  if (!theirs.is_object()) return state.SkipWithError("the peer gave no timings");
  std::vector<double> micros;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    for (const Window& window : windows) {
      benchmark::DoNotOptimize(orvo::detectChords(window.notes, std::nullopt, window.length,
                                                  window.tonic, window.minor));
    }
    micros.push_back(orvo::bench::microsSince(start) / static_cast<double>(windows.size()));
  }
  orvo::bench::reportMicros(state, micros);
  state.counters["windows"] = static_cast<double>(windows.size());
  state.counters["tonal_us"] = theirs["micros"].get<double>();
  state.counters["tonal_named"] = theirs["named"].get<double>();
  state.counters["ratio"] = theirs["micros"].get<double>() / micros[micros.size() / 2];
}
BENCHMARK(BM_ChordNamingAgainstTonal)->Iterations(3);

}  // namespace
