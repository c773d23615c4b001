// The jazz band on the real runtime: each message's send time against its
// scheduled time (the start plus its time in the arrangement), over a whole
// lesson 9 jam (three choruses of the blues at 100 bpm, about 90 s) while
// another thread plays the player's part through the same MIDI link.
// Lateness = sent - due; drift = the last message's lateness. And the
// verdict after a jam of 2,000 notes.

#include <atomic>
#include <random>
#include <thread>

#include "bench-figures.h"
#include "compose/jazz-backing.h"
#include "compose/jazz-band.h"
#include "lessons/jazz-feedback.h"
#include "platform/midi/loopback/loopback-midi-backend.h"
#include "platform/thread-runtime.h"
#include "sound/midi-io.h"

namespace {

void BM_JazzBandLatenessOverALesson9Jam(benchmark::State& state) {
  orvo::ThreadRuntime runtime{5};
  orvo::LoopbackMidiBackend backend;
  orvo::MidiIO midi{backend, runtime, [](const std::string&) {}, false};
  midi.start();
  std::string why;
  orvo::JazzBand band{
      runtime, [&midi](const std::uint8_t* bytes, std::size_t size) { midi.send(bytes, size); },
      [&why](const std::string& line) { why = line; }};
  const orvo::JazzLesson& lesson = orvo::jazzLessons()[8];
  double lead = 0;
  const auto notes = orvo::jazzBacking(lesson, lead);
  double length = 0;
  for (const auto& note : notes) length = std::max(length, note.end);
  std::vector<double> late;
  late.reserve(notes.size() * 2);
  band.recordLateness(&late);
  for (auto _ : state) {
    std::atomic<bool> playing{true};
    // The player: swung pairs, a note every 0.3 s or so.
    std::thread player([&] {
      int step = 0;
      while (playing) {
        const auto pitch = static_cast<std::uint8_t>(60 + (step++ % 8));
        midi.send({0x90, pitch, 80});
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        midi.send({0x80, pitch, 0});
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    });
    band.play(notes);
    std::this_thread::sleep_for(std::chrono::duration<double>(length + 0.2));
    band.stop();
    playing = false;
    player.join();
  }
  band.recordLateness(nullptr);
  if (late.empty()) return state.SkipWithError("the band sent nothing");
  const double drift = late.back() * 1000.0;
  for (double& each : late) each *= 1000.0;
  orvo::bench::reportMillis(state, late, "messages");
  state.counters["drift_ms"] = drift;
  state.counters["clock_fifo"] = why.empty();
}
BENCHMARK(BM_JazzBandLatenessOverALesson9Jam)->Iterations(1)->Unit(benchmark::kSecond);

void BM_JazzFeedbackOn2000Notes(benchmark::State& state) {
  std::mt19937 random{11};
  std::vector<orvo::JamNote> notes;
  for (int i = 0; i < 2000; ++i) {
    notes.push_back({i * 0.07 + std::uniform_real_distribution<double>(0, 0.05)(random),
                     std::uniform_int_distribution<int>(36, 84)(random), 0.3});
  }
  const auto& lessons = orvo::jazzLessons();
  std::size_t which = static_cast<std::size_t>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(orvo::jazzFeedback(lessons[which], notes));
  state.SetLabel(lessons[which].title);
}
BENCHMARK(BM_JazzFeedbackOn2000Notes)->DenseRange(0, 8)->Unit(benchmark::kMicrosecond);

}  // namespace
