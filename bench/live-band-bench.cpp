// The live band: one note and one step of its clock, under the band's lock
// (p50 and p99, no allocation). Also the raw stream's timed writer on its
// own, idle and beside two CPU-bound processes: messages given 3 ms ahead,
// lateness = written - due. The band's lateness at the binary's MIDI output
// is in output-lateness-bench.cpp.

#include <mutex>
#include <thread>

#include "bench-figures.h"
#include "compose/live-band.h"
#include "cpu-load.h"
#include "platform/midi/midi-backend.h"
#include "platform/midi/raw/timed-writer.h"

namespace {

void BM_LiveBandNoteAndClockStep(benchmark::State& state) {
  orvo::LiveBand band;
  std::size_t sent = 0;
  band.setOut([&sent](const std::uint8_t*, std::size_t, double) { ++sent; });
  band.setOn(true, 0.0);
  std::vector<double> notes, steps;
  notes.reserve(1 << 20);
  steps.reserve(1 << 20);
  double t = 1.0;
  int i = 0;
  for (auto _ : state) {
    const int pitch = (i % 5 == 0) ? 28 + (i * 7) % 24 : 50 + (i * 5) % 14;
    auto start = std::chrono::steady_clock::now();
    double due = band.note(pitch, 60 + i % 40, t);
    notes.push_back(orvo::bench::microsSince(start));
    band.release(pitch);
    start = std::chrono::steady_clock::now();
    band.advance(std::min(due, t + 0.025));
    steps.push_back(orvo::bench::microsSince(start));
    t += 0.031;
    ++i;
  }
  std::sort(notes.begin(), notes.end());
  std::sort(steps.begin(), steps.end());
  state.counters["note_p50_us"] = notes[notes.size() / 2];
  state.counters["note_p99_us"] = notes[notes.size() * 99 / 100];
  state.counters["step_p50_us"] = steps[steps.size() / 2];
  state.counters["step_p99_us"] = steps[steps.size() * 99 / 100];
  state.counters["messages"] = static_cast<double>(sent);
}
BENCHMARK(BM_LiveBandNoteAndClockStep);

void writerLateness(benchmark::State& state, bool loaded) {
  orvo::bench::CpuLoad load(loaded, 2);
  if (loaded && !load.running()) return state.SkipWithError("stress-ng is not installed");
  std::mutex mutex;
  std::vector<std::int64_t> written;
  written.reserve(4096);
  orvo::TimedWriter writer([&](const std::uint8_t*, std::size_t) {
    std::lock_guard guard(mutex);
    written.push_back(orvo::midiClockNow());
  });
  std::vector<std::int64_t> dues;
  const std::uint8_t note[3] = {0x91, 40, 80};
  for (auto _ : state) {
    for (int n = 0; n < 200; ++n) {
      const std::int64_t due = orvo::midiClockNow() + 3'000'000;
      dues.push_back(due);
      writer.at(note, 3, due);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::lock_guard guard(mutex);
  std::vector<double> late;
  for (std::size_t i = 0; i < written.size() && i < dues.size(); ++i)
    late.push_back(static_cast<double>(written[i] - dues[i]) / 1e6);
  if (late.empty()) return state.SkipWithError("nothing was written");
  orvo::bench::reportMillis(state, late, "messages");
  state.counters["writer_fifo"] = writer.whyNormalPriority().empty();
}

void BM_TimedWriterLatenessUnloaded(benchmark::State& state) {
  writerLateness(state, false);
}
void BM_TimedWriterLatenessBesideTwoBusyCores(benchmark::State& state) {
  writerLateness(state, true);
}
BENCHMARK(BM_TimedWriterLatenessUnloaded)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TimedWriterLatenessBesideTwoBusyCores)->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace
