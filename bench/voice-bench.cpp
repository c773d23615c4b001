// The natural voice against the stand-in server, heard through
// ORVO_VOICE_OUT's file: from say() to its first sample, for a cached
// sentence and for one the server renders (the server's own time apart), and
// from stop() to the end of the sound. Run beside the espeak-ng first-sample
// figure of speech-bench for the ratio.

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "bench-figures.h"
#include "platform/file-store.h"
#include "platform/files.h"
#include "platform/thread-runtime.h"
#include "sound/kokoro.h"
#include "temp-folder.h"

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t nanosNow() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
      .count();
}

// When the first block reached the output, and when the last write returned.
struct Heard {
  std::atomic<std::int64_t> first{0};
  std::atomic<std::int64_t> last{0};
  std::atomic<int> writes{0};
  void reset() {
    first = 0;
    last = 0;
    writes = 0;
  }
};

class TimedOutput final : public orvo::VoiceOutput {
 public:
  TimedOutput(std::unique_ptr<orvo::VoiceOutput> inner, Heard& heard)
      : inner_(std::move(inner)), heard_(heard) {}
  bool write(const std::int16_t* samples, std::size_t count) override {
    if (heard_.first.load() == 0) heard_.first = nanosNow();
    const bool written = inner_->write(samples, count);
    heard_.last = nanosNow();
    heard_.writes.fetch_add(1);
    return written;
  }
  double latency() override { return inner_->latency(); }
  void drain() override { inner_->drain(); }

 private:
  std::unique_ptr<orvo::VoiceOutput> inner_;
  Heard& heard_;
};

// The stand-in installed where the real server would be, heard through a file.
struct VoiceWorld {
  orvo::testing::TempFolder home;
  orvo::testing::TempFolder temporary;
  orvo::ThreadRuntime runtime{1};
  orvo::FileStore store{home.path(), runtime, runtime.serial("orvo.store")};
  Heard heard;
  std::unique_ptr<orvo::Kokoro> kokoro;

  explicit VoiceWorld(bool cache) {
    const auto folder = home / "voice";
    std::filesystem::create_directories(folder / ".venv" / "bin");
    std::filesystem::copy_file(ORVO_KOKORO_STAND_IN, folder / ".venv" / "bin" / "python");
    orvo::files::writeFileAtomically(folder / "kokoro-v1.0.onnx", "");
    ::setenv("ORVO_VOICE_OUT", (home / "voice-out.raw").c_str(), 1);
    ::setenv("KOKORO_STAND_IN", "", 1);
    orvo::Kokoro::Parts parts{
        .runtime = runtime, .store = store, .folder = folder, .temporary = temporary.path()};
    parts.cache = cache;
    parts.openOutput = [this](int rate) -> std::unique_ptr<orvo::VoiceOutput> {
      auto inner = orvo::openVoiceOutput(rate);
      if (!inner) return nullptr;
      return std::make_unique<TimedOutput>(std::move(inner), heard);
    };
    kokoro = std::make_unique<orvo::Kokoro>(parts);
  }
  ~VoiceWorld() { ::unsetenv("ORVO_VOICE_OUT"); }
  bool up() { return kokoro->startAndWait(10.0); }

  // Says `text` on a thread of its own; the microseconds from say() to the
  // first sample, then stopped once `blocks` blocks were written.
  double firstSample(const std::string& text, int blocks = 1) {
    heard.reset();
    std::atomic<std::int64_t> asked{0};
    std::thread speaking([&] {
      asked = nanosNow();
      kokoro->say(text, nullptr);
    });
    while (heard.writes.load() < blocks) std::this_thread::yield();
    kokoro->stop();
    speaking.join();
    return static_cast<double>(heard.first.load() - asked.load()) / 1000.0;
  }
};

const char* kShort = "Back home.";

void BM_KokoroCachedFirstSample(benchmark::State& state) {
  VoiceWorld world(true);
  if (!world.up()) return state.SkipWithError("the stand-in did not come up");
  world.firstSample(kShort);  // rendered once, into the cache
  std::vector<double> micros;
  for (auto _ : state) {
    micros.push_back(world.firstSample(kShort));
    state.SetIterationTime(micros.back() / 1e6);
  }
  orvo::bench::reportMicros(state, micros);
}
BENCHMARK(BM_KokoroCachedFirstSample)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(100);

void BM_KokoroRenderedFirstSample(benchmark::State& state) {
  VoiceWorld world(false);
  if (!world.up()) return state.SkipWithError("the stand-in did not come up");
  std::vector<double> micros;
  std::vector<double> server;
  for (auto _ : state) {
    micros.push_back(world.firstSample(kShort));
    state.SetIterationTime(micros.back() / 1e6);
    // The server's own part: the request and its answer, nothing played.
    const auto start = Clock::now();
    benchmark::DoNotOptimize(world.kokoro->synth(kShort));
    server.push_back(orvo::bench::microsSince(start));
  }
  orvo::bench::reportMicros(state, micros);
  std::sort(server.begin(), server.end());
  state.counters["server_p50_us"] = server[server.size() / 2];
  state.counters["server_p99_us"] = server[server.size() * 99 / 100];
}
BENCHMARK(BM_KokoroRenderedFirstSample)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(50);

// From stop() to the last block leaving the playing thread: nothing is
// written after it.
void BM_KokoroStopToSilence(benchmark::State& state) {
  VoiceWorld world(true);
  if (!world.up()) return state.SkipWithError("the stand-in did not come up");
  const std::string text = "This sentence goes on for a good while, so there is time to stop it.";
  world.firstSample(text);
  std::vector<double> micros;
  for (auto _ : state) {
    world.heard.reset();
    std::thread speaking([&] { world.kokoro->say(text, nullptr); });
    while (world.heard.writes.load() < 20) std::this_thread::yield();
    // Somewhere inside a block, as a press would come.
    std::this_thread::sleep_for(std::chrono::microseconds(1000 + 731 * (micros.size() % 11)));
    const std::int64_t stopped = nanosNow();
    world.kokoro->stop();
    speaking.join();
    micros.push_back(static_cast<double>(world.heard.last.load() - stopped) / 1000.0);
    state.SetIterationTime(std::max(0.0, micros.back()) / 1e6);
  }
  orvo::bench::reportMicros(state, micros);
}
BENCHMARK(BM_KokoroStopToSilence)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(100);

}  // namespace
