#include "platform/audio/pulse/pulse-stream.h"
#include "platform/audio/voice-output.h"

namespace orvo {

namespace {

// A stream given a device is pinned to it: when that output goes away
// (headphones unplugged) the stream fails and the next write says so, so the
// voice can go where its owner decides rather than where the server would
// move it.
class PulseVoiceOutput final : public VoiceOutput {
 public:
  bool open(int rate, const std::string& name, const std::string& device) {
    // A short queue, so a stop is heard at once: about 40 ms ahead.
    return stream_.open({.name = name,
                         .format = {PA_SAMPLE_S16LE, static_cast<std::uint32_t>(rate), 1},
                         .ahead = 0.040,
                         .device = device,
                         .pinned = true});
  }
  bool write(const std::int16_t* samples, std::size_t count) override {
    return stream_.write(samples, count * sizeof(std::int16_t));
  }
  double latency() override { return stream_.latency(); }
  void drain() override { stream_.drain(); }

 private:
  PulseStream stream_;
};

}  // namespace

std::unique_ptr<VoiceOutput> openPulseVoiceOutput(int rate, const std::string& name,
                                                  const std::string& device) {
  auto output = std::make_unique<PulseVoiceOutput>();
  if (!output->open(rate, name, device)) return nullptr;
  return output;
}

}  // namespace orvo
