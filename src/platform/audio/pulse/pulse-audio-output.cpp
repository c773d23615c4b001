// The music's stream, rendered on a thread of ours in short blocks.
//
// FluidSynth's own PulseAudio driver queues a single block: 5.8 ms at our
// block size. A sound server that wakes a little late then finds the stream
// empty and plays silence, a crackle each time: dozens in five seconds on a
// null sink here. So the music starts 40 ms ahead, and each time the output
// still finds it empty it goes 20 ms further ahead, up to a fifth of a
// second, as PulseAudio does for its own sound cards. The block stays short,
// so a note lands within 5.8 ms of its time whatever the queue.

#include <pthread.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <thread>

#include "platform/audio/audio-output.h"
#include "platform/audio/pull-watch.h"
#include "platform/audio/pulse/pulse-stream.h"
#include "platform/real-time-priority.h"

namespace orvo {
namespace {

constexpr int kBlock = 256;  // frames rendered at a time
constexpr double kFirstAhead = 0.040;
constexpr double kMoreAhead = 0.020;
constexpr double kMostAhead = 0.200;

class PulseAudioOutput final : public AudioOutput {
 public:
  explicit PulseAudioOutput(AudioRender render) : render_(std::move(render)) {}
  ~PulseAudioOutput() override {
    stream_.stop();
    if (thread_.joinable()) thread_.join();
  }
  PulseAudioOutput(const PulseAudioOutput&) = delete;
  PulseAudioOutput& operator=(const PulseAudioOutput&) = delete;

  bool open(int rate, const std::string& device) {
    // Not pinned to its output: when the chosen one goes, the server moves
    // the music to another, and the output watch brings it back.
    if (!stream_.open({.name = "Orvo's music",
                       .format = {PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(rate), 2},
                       .ahead = kFirstAhead,
                       .wakeBytes = sizeof(Interleaved),  // woken for each block
                       .device = device})) {
      return false;
    }
    pulls_.pulled();
    thread_ = std::thread([this] { play(); });
    return true;
  }

  bool running() override { return !ended_ && pulls_.recent(); }

 private:
  using Interleaved = std::array<float, 2 * kBlock>;

  void play() {
    touchStack();
    (void)raiseToRealTime(pthread_self());  // punctual where the system allows it
    std::array<float, kBlock> left{}, right{};
    Interleaved both{};
    int underflows = 0;  // those the queue has grown for: 20 ms each
    for (;;) {
      render_(left.data(), right.data(), kBlock);
      for (int i = 0; i < kBlock; ++i) {
        both[2 * i] = left[i];
        both[2 * i + 1] = right[i];
      }
      if (!stream_.write(both.data(), sizeof(both))) break;  // waits while the queue is full
      pulls_.pulled();
      const int seen = stream_.underflows();
      if (seen > underflows) {
        underflows = seen;
        stream_.setAhead(std::min(kMostAhead, kFirstAhead + kMoreAhead * seen));
      }
    }
    ended_ = true;
  }

  AudioRender render_;
  PulseStream stream_;
  std::thread thread_;
  std::atomic<bool> ended_{false};  // the server went away, or the output is closing
  PullWatch pulls_;
};

}  // namespace

std::unique_ptr<AudioOutput> openPulseAudioOutput(AudioRender render, int sampleRate,
                                                  const std::string& device) {
  auto output = std::make_unique<PulseAudioOutput>(std::move(render));
  if (!output->open(sampleRate, device)) return nullptr;
  return output;
}

}  // namespace orvo
