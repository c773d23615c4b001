#include <pulse/pulseaudio.h>

#include "platform/audio/voice-output.h"

namespace orvo {

namespace {

// A playback stream of our own on PulseAudio's threaded main loop. A stream
// given a device is pinned to it: when that output goes away (headphones
// unplugged) the stream fails and the next write says so, so the voice can
// go where its owner decides rather than where the server would move it.
class PulseVoiceOutput final : public VoiceOutput {
 public:
  PulseVoiceOutput() = default;
  ~PulseVoiceOutput() override {
    if (!loop_) return;
    pa_threaded_mainloop_lock(loop_);
    if (stream_) {
      pa_stream_disconnect(stream_);
      pa_stream_unref(stream_);
    }
    if (context_) {
      pa_context_disconnect(context_);
      pa_context_unref(context_);
    }
    pa_threaded_mainloop_unlock(loop_);
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
  }
  PulseVoiceOutput(const PulseVoiceOutput&) = delete;
  PulseVoiceOutput& operator=(const PulseVoiceOutput&) = delete;

  bool open(int rate, const std::string& name, const std::string& device) {
    loop_ = pa_threaded_mainloop_new();
    if (!loop_) return false;
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Orvo");
    if (!context_) return false;
    pa_context_set_state_callback(context_, &PulseVoiceOutput::wake, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0) return false;
    if (pa_threaded_mainloop_start(loop_) < 0) return false;
    Locked locked(loop_);
    for (;;) {
      const pa_context_state_t state = pa_context_get_state(context_);
      if (state == PA_CONTEXT_READY) break;
      if (!PA_CONTEXT_IS_GOOD(state)) return false;
      pa_threaded_mainloop_wait(loop_);
    }
    pa_sample_spec format{PA_SAMPLE_S16LE, static_cast<std::uint32_t>(rate), 1};
    stream_ = pa_stream_new(context_, name.c_str(), &format, nullptr);
    if (!stream_) return false;
    pa_stream_set_state_callback(stream_, &PulseVoiceOutput::wakeStream, this);
    pa_stream_set_write_callback(stream_, &PulseVoiceOutput::wakeWrite, this);
    // A short buffer, so a stop is heard at once: about 40 ms ahead.
    pa_buffer_attr attributes;
    attributes.maxlength = static_cast<std::uint32_t>(-1);
    attributes.tlength = static_cast<std::uint32_t>(rate / 25 * 2);
    attributes.prebuf = static_cast<std::uint32_t>(-1);
    attributes.minreq = static_cast<std::uint32_t>(-1);
    attributes.fragsize = static_cast<std::uint32_t>(-1);
    auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE |
        (device.empty() ? 0 : PA_STREAM_DONT_MOVE));
    if (pa_stream_connect_playback(stream_, device.empty() ? nullptr : device.c_str(), &attributes,
                                   flags, nullptr, nullptr) < 0)
      return false;
    for (;;) {
      const pa_stream_state_t state = pa_stream_get_state(stream_);
      if (state == PA_STREAM_READY) return true;
      if (!PA_STREAM_IS_GOOD(state)) return false;
      pa_threaded_mainloop_wait(loop_);
    }
  }

  bool write(const std::int16_t* samples, std::size_t count) override {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(samples);
    std::size_t left = count * sizeof(std::int16_t);
    Locked locked(loop_);
    while (left > 0) {
      if (pa_stream_get_state(stream_) != PA_STREAM_READY) return false;
      const std::size_t room = pa_stream_writable_size(stream_);
      if (room == static_cast<std::size_t>(-1)) return false;
      if (room == 0) {
        pa_threaded_mainloop_wait(loop_);  // woken by the server asking for more, or a failure
        continue;
      }
      const std::size_t now = std::min(room, left);
      if (pa_stream_write(stream_, bytes, now, nullptr, 0, PA_SEEK_RELATIVE) < 0) return false;
      bytes += now;
      left -= now;
    }
    return true;
  }

  double latency() override {
    Locked locked(loop_);
    pa_usec_t usec = 0;
    int negative = 0;
    if (pa_stream_get_latency(stream_, &usec, &negative) < 0 || negative) return 0.0;
    return static_cast<double>(usec) / 1e6;
  }

  void drain() override {
    Locked locked(loop_);
    if (pa_stream_get_state(stream_) != PA_STREAM_READY) return;
    pa_operation* draining = pa_stream_drain(stream_, &PulseVoiceOutput::drained, this);
    if (!draining) return;
    // A stream that fails meanwhile cancels the operation.
    while (pa_operation_get_state(draining) == PA_OPERATION_RUNNING &&
           pa_stream_get_state(stream_) == PA_STREAM_READY) {
      pa_threaded_mainloop_wait(loop_);
    }
    pa_operation_unref(draining);
  }

 private:
  struct Locked {
    explicit Locked(pa_threaded_mainloop* loop) : loop(loop) { pa_threaded_mainloop_lock(loop); }
    ~Locked() { pa_threaded_mainloop_unlock(loop); }
    pa_threaded_mainloop* loop;
  };
  // Every change of state, request for data and end of a drain wakes whoever waits.
  static void wake(pa_context*, void* self) { signal(self); }
  static void wakeStream(pa_stream*, void* self) { signal(self); }
  static void wakeWrite(pa_stream*, std::size_t, void* self) { signal(self); }
  static void drained(pa_stream*, int, void* self) { signal(self); }
  static void signal(void* self) {
    pa_threaded_mainloop_signal(static_cast<PulseVoiceOutput*>(self)->loop_, 0);
  }

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
};

}  // namespace

std::unique_ptr<VoiceOutput> openPulseVoiceOutput(int rate, const std::string& name,
                                                  const std::string& device) {
  auto output = std::make_unique<PulseVoiceOutput>();
  if (!output->open(rate, name, device)) return nullptr;
  return output;
}

}  // namespace orvo
