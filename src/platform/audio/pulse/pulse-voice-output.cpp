#include "platform/audio/voice-output.h"

#include <pulse/error.h>
#include <pulse/simple.h>

namespace orvo {

namespace {

class PulseVoiceOutput final : public VoiceOutput {
 public:
  explicit PulseVoiceOutput(pa_simple* stream) : stream_(stream) {}
  ~PulseVoiceOutput() override { pa_simple_free(stream_); }
  bool write(const std::int16_t* samples, std::size_t count) override {
    int error = 0;
    return pa_simple_write(stream_, samples, count * sizeof(std::int16_t), &error) >= 0;
  }
  double latency() override {
    int error = 0;
    const pa_usec_t usec = pa_simple_get_latency(stream_, &error);
    return usec == static_cast<pa_usec_t>(-1) ? 0.0 : static_cast<double>(usec) / 1e6;
  }
  void drain() override {
    int error = 0;
    pa_simple_drain(stream_, &error);
  }

 private:
  pa_simple* stream_;
};

}  // namespace

std::unique_ptr<VoiceOutput> openPulseVoiceOutput(int rate, const std::string& name,
                                                  const std::string& device) {
  pa_sample_spec format;
  format.format = PA_SAMPLE_S16LE;
  format.rate = static_cast<std::uint32_t>(rate);
  format.channels = 1;
  // A short buffer, so a stop is heard at once: about 40 ms ahead.
  pa_buffer_attr attributes;
  attributes.maxlength = static_cast<std::uint32_t>(-1);
  attributes.tlength = static_cast<std::uint32_t>(rate / 25 * 2);
  attributes.prebuf = static_cast<std::uint32_t>(-1);
  attributes.minreq = static_cast<std::uint32_t>(-1);
  attributes.fragsize = static_cast<std::uint32_t>(-1);
  int error = 0;
  pa_simple* stream =
      pa_simple_new(nullptr, "Orvo", PA_STREAM_PLAYBACK, device.empty() ? nullptr : device.c_str(),
                    name.c_str(), &format, nullptr, &attributes, &error);
  if (!stream) return nullptr;
  return std::make_unique<PulseVoiceOutput>(stream);
}

}  // namespace orvo
