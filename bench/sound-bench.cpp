// The built-in sound: offline render speed against the fluidsynth command on
// the same notes and SoundFont, the delay from a note-on to sound, and the
// memory a graph costs with each SoundFont.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <fstream>

#include "bench-figures.h"
#include "platform/child-process.h"
#include "platform/files.h"
#include "sound/sounds.h"
#include "temp-folder.h"

namespace {

const std::string kSmall = "/usr/share/sounds/sf2/TimGM6mb.sf2";
const std::string kLarge = "/usr/share/sounds/sf2/FluidR3_GM.sf2";

// Sixty seconds of piano, bass, strings and drums at 120 beats a minute.
std::vector<orvo::Ev> minuteOfBand() {
  std::vector<orvo::Ev> events;
  auto note = [&](double t, int channel, int key, int velocity, double length) {
    orvo::addNote(events, t, channel, key, velocity, length);
  };
  const int roots[4] = {60, 57, 65, 67};
  for (int bar = 0; bar < 30; ++bar) {
    double t = bar * 2.0;
    int root = roots[bar % 4];
    for (int key : {root, root + 4, root + 7}) note(t, 0, key, 80, 1.9);
    for (int beat = 0; beat < 4; ++beat) {
      note(t + beat * 0.5, 1, root - 24 + (beat % 2) * 7, 95, 0.45);
      note(t + beat * 0.5, 9, beat % 2 ? 38 : 36, 100, 0.1);
      note(t + beat * 0.5 + 0.25, 9, 42, 70, 0.1);
    }
    note(t, 2, root - 12, 70, 1.95);
    note(t, 2, root - 5, 70, 1.95);
  }
  std::stable_sort(events.begin(), events.end(), [](auto& a, auto& b) { return a.t < b.t; });
  return events;
}

// A format-0 Standard MIDI File of the events (480 ticks a beat, 120 beats a minute).
std::string midiFile(const std::vector<orvo::Ev>& events) {
  std::string track;
  auto varLen = [&](std::uint32_t value) {
    std::uint8_t bytes[4];
    int n = 0;
    do {
      bytes[n++] = value & 0x7F;
      value >>= 7;
    } while (value);
    while (n--) track.push_back(static_cast<char>(bytes[n] | (n ? 0x80 : 0)));
  };
  long lastTick = 0;
  for (const auto& ev : events) {
    long tick = std::lround(ev.t * 960);
    varLen(static_cast<std::uint32_t>(tick - lastTick));
    lastTick = tick;
    for (auto b : ev.bytes) track.push_back(static_cast<char>(b));
  }
  track += std::string("\x00\xFF\x2F\x00", 4);
  std::string file("MThd\0\0\0\x06\0\0\0\x01\x01\xE0", 14);
  file += "MTrk";
  for (int shift : {24, 16, 8, 0})
    file.push_back(static_cast<char>((track.size() >> shift) & 0xFF));
  return file + track;
}

void BM_RenderMinuteOfBand(benchmark::State& state) {
  auto events = minuteOfBand();
  for (auto _ : state) {
    auto rendered = orvo::Sounds::render(kSmall, false, 0, events, 60.0);
    if (!rendered) state.SkipWithError("no bank");
  }
}
BENCHMARK(BM_RenderMinuteOfBand)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_FluidsynthCommandMinuteOfBand(benchmark::State& state) {
  orvo::testing::TempFolder folder;
  orvo::files::writeFileAtomically(folder / "band.mid", midiFile(minuteOfBand()));
  for (auto _ : state) {
    auto child = orvo::ChildProcess::start({"fluidsynth", "-ni", "-q", "-r", "44100", "-F",
                                            (folder / "out.wav").string(), kSmall,
                                            (folder / "band.mid").string()});
    if (!child || child->wait(120) != 0) state.SkipWithError("the fluidsynth command failed");
  }
}
BENCHMARK(BM_FluidsynthCommandMinuteOfBand)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

void BM_NoteOnToSound(benchmark::State& state) {
  auto graph = orvo::SoundGraph::build(kSmall, false, 0);
  if (!graph) {
    state.SkipWithError("no bank");
    return;
  }
  std::int64_t samples = 0;
  for (auto _ : state) {
    std::uint8_t on[] = {0x90, 60, 100}, off[] = {0x80, 60, 0};
    graph->send(on, 3);
    float left = 0, right = 0;
    samples = 0;
    do {
      graph->render(&left, &right, 1);
      ++samples;
    } while (std::abs(left) < 1e-4f && std::abs(right) < 1e-4f && samples < 44100);
    graph->send(off, 3);
    float silence[4096], other[4096];
    graph->render(silence, other, 4096);  // let the release finish
  }
  state.counters["samples"] = static_cast<double>(samples);
}
BENCHMARK(BM_NoteOnToSound)->Iterations(20);

void memoryWith(benchmark::State& state, const std::string& bank) {
  if (!std::filesystem::exists(bank)) {
    state.SkipWithError("bank not installed");
    return;
  }
  const double before = orvo::bench::residentMB();
  std::unique_ptr<orvo::SoundGraph> graph;
  for (auto _ : state) graph = orvo::SoundGraph::build(bank, false, 0);
  state.counters["resident_MB"] = orvo::bench::residentMB() - before;
  state.counters["bank_MB"] = static_cast<double>(std::filesystem::file_size(bank)) / 1048576.0;
}
void BM_GraphMemorySmallBank(benchmark::State& state) {
  memoryWith(state, kSmall);
}
void BM_GraphMemoryLargeBank(benchmark::State& state) {
  memoryWith(state, kLarge);
}
BENCHMARK(BM_GraphMemorySmallBank)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GraphMemoryLargeBank)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
