// The live band: one note and one step of its clock, under the band's lock
// (p50 and p99, no allocation); and its lateness end to end, the real binary
// on FIFOs with the band on, isolated low notes 1 s apart, each bass note
// due 80 ms after its key. Lateness = arrival - (write + 0.080 s). With
// stress-ng installed, the same again beside two CPU-bound processes.
// Also the raw stream's timed writer on its own: messages given 3 ms ahead,
// lateness = written - due.

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>

#include <mutex>
#include <thread>

#include "bench-figures.h"
#include "compose/live-band.h"
#include "cpu-load.h"
#include "e2e/fifo-piano.h"
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

void lateness(benchmark::State& state, bool loaded) {
  using namespace orvo::testing;
  orvo::bench::CpuLoad load(loaded, 2);
  if (loaded && !load.running()) return state.SkipWithError("stress-ng is not installed");
  // The harness's own stamps are honest only if it is not preempted: its
  // reader thread and its writing run with SCHED_FIFO, the binary (forked in
  // between) does not.
  sched_param high{sched_get_priority_min(SCHED_FIFO)};
  sched_param normal{0};
  const bool fifo = sched_setscheduler(0, SCHED_FIFO, &high) == 0;
  Piano piano;
  MidiOut out{piano.output};
  if (fifo) sched_setscheduler(0, SCHED_OTHER, &normal);
  // Argument 1: an earlier build's binary (ORVO_BENCH_BEFORE), for the same run's comparison.
  auto options = piano.options();
  if (state.range(0) == 1) {
    const char* before = std::getenv("ORVO_BENCH_BEFORE");
    if (!before) return state.SkipWithError("ORVO_BENCH_BEFORE names no earlier binary");
    options.binary = before;
  }
  OrvoProcess orvo(options);
  if (fifo) sched_setscheduler(0, SCHED_FIFO, &high);
  if (!orvo.waitForPrefix("@welcome")) return state.SkipWithError("the binary did not start");
  Keyboard keys(piano.input);
  orvo.write("b");
  orvo.waitFor("@live 1");
  std::vector<double> late;
  int pitchClass = 0;
  for (auto _ : state) {
    for (int n = 0; n < 20; ++n) {
      const int pitch = 28 + (pitchClass = (pitchClass + 5) % 12);
      const double written = MidiOut::now();
      keys.send({0x90, pitch, 80});
      Keyboard::wait(0.25);
      keys.send({0x80, pitch, 0});
      // A note within 0.9 s above a lower one is a chord tone, never a bass.
      Keyboard::wait(0.75);
      for (const auto& m : out.since(written)) {
        if (m.status == 0x91 && m.key == pitch) {
          late.push_back((m.at - (written + 0.080)) * 1000.0);
          break;
        }
      }
    }
  }
  if (fifo) sched_setscheduler(0, SCHED_OTHER, &normal);
  if (late.empty()) return state.SkipWithError("no bass note arrived");
  orvo::bench::reportMillis(state, late, "notes");
  state.counters["harness_fifo"] = fifo;
}

void BM_LiveBandLatenessUnloaded(benchmark::State& state) {
  lateness(state, false);
}
void BM_LiveBandLatenessBesideTwoBusyCores(benchmark::State& state) {
  lateness(state, true);
}
BENCHMARK(BM_LiveBandLatenessUnloaded)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiveBandLatenessBesideTwoBusyCores)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

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
