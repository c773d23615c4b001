// The metronome on the real runtime: each click's send time against its
// scheduled time t0 + k × 60 / bpm, over 2 minutes at 240 bpm, while another
// thread plays a lesson's demonstration through the same MIDI link and
// stress-ng keeps one core busy. Lateness = sent - due; drift = the last
// beat's lateness.

#include <sched.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "bench-figures.h"
#include "cpu-load.h"
#include "platform/midi/midi-backend.h"
#include "platform/thread-runtime.h"
#include "rooms/practice/metronome.h"
#include "sound/midi-io.h"

namespace {

// A MIDI service that stamps every click as it is published.
class StampingBackend final : public orvo::MidiBackend {
 public:
  explicit StampingBackend(orvo::Runtime& runtime) : runtime_(runtime) { clicks.reserve(4096); }
  bool start(PacketHandler, std::function<void()>) override { return true; }
  std::optional<std::int64_t> ownSourceId() override { return 1; }
  std::vector<orvo::MidiSource> sources() override { return {}; }
  void disconnectAll() override {}
  void connect(const orvo::MidiSource&) override {}
  void refreshDestinations() override {}
  void publish(const std::uint8_t* bytes, std::size_t size) override {
    if (size < 3 || bytes[0] != 0x99) return;
    const double at = runtime_.now();
    std::lock_guard guard(mutex);
    clicks.push_back(at);
  }
  void sendToDestinations(const std::uint8_t*, std::size_t) override {}

  std::mutex mutex;
  std::vector<double> clicks;

 private:
  orvo::Runtime& runtime_;
};

void BM_MetronomeLatenessBesideLessonAndBusyCore(benchmark::State& state) {
  orvo::bench::CpuLoad load(true, 1);
  if (!load.running()) return state.SkipWithError("stress-ng is not installed");
  orvo::ThreadRuntime runtime{5};
  StampingBackend backend{runtime};
  orvo::MidiIO midi{backend, runtime, [](const std::string&) {}, false};
  midi.start();
  std::string why;
  orvo::Metronome metronome{runtime,
                            midi,
                            [](std::string_view) {},
                            [&why](const std::string& line) { why = line; },
                            [](const std::string&) {},
                            false};
  constexpr int kBpm = 240;
  constexpr double kSeconds = 120.0;
  const double interval = 60.0 / kBpm;
  double start = 0;
  for (auto _ : state) {
    std::atomic<bool> playing{true};
    // A lesson's demonstration: a scale up and down, eight notes a second.
    std::thread lesson([&] {
      int step = 0;
      const int scale[] = {60, 62, 64, 65, 67, 69, 71, 72, 71, 69, 67, 65, 64, 62};
      while (playing) {
        const auto pitch = static_cast<std::uint8_t>(scale[step++ % 14]);
        midi.send({0x90, pitch, 70});
        std::this_thread::sleep_for(std::chrono::milliseconds(110));
        midi.send({0x80, pitch, 0});
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
      }
    });
    start = runtime.now();
    metronome.metronome(kBpm);
    std::this_thread::sleep_for(std::chrono::duration<double>(kSeconds + interval / 2));
    metronome.stop();
    playing = false;
    lesson.join();
  }
  std::vector<double> clicks;
  {
    std::lock_guard guard(backend.mutex);
    clicks = backend.clicks;
  }
  if (clicks.empty()) return state.SkipWithError("no click was sent");
  // The metronome takes its t0 just after `start`, so measuring from `start`
  // counts those few microseconds as lateness too.
  const double t0 = start;
  std::vector<double> late;
  for (std::size_t k = 0; k < clicks.size(); ++k)
    late.push_back((clicks[k] - (t0 + static_cast<double>(k) * interval)) * 1000.0);
  const double drift = late.back();
  orvo::bench::reportMillis(state, late, "clicks");
  state.counters["drift_ms"] = drift;
  state.counters["clock_fifo"] = why.empty();
}
BENCHMARK(BM_MetronomeLatenessBesideLessonAndBusyCore)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
