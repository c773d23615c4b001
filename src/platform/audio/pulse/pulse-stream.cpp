#include "platform/audio/pulse/pulse-stream.h"

#include <algorithm>

namespace orvo {

PulseStream::~PulseStream() {
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

pa_buffer_attr PulseStream::attributes(double ahead) const {
  pa_buffer_attr attributes;
  attributes.maxlength = static_cast<std::uint32_t>(-1);
  attributes.tlength =
      static_cast<std::uint32_t>(pa_usec_to_bytes(static_cast<pa_usec_t>(ahead * 1e6), &format_));
  attributes.prebuf = static_cast<std::uint32_t>(-1);  // as much as tlength
  attributes.minreq = static_cast<std::uint32_t>(wakeBytes_);
  attributes.fragsize = static_cast<std::uint32_t>(-1);
  return attributes;
}

bool PulseStream::open(const Setup& setup) {
  format_ = setup.format;
  wakeBytes_ = setup.wakeBytes;
  loop_ = pa_threaded_mainloop_new();
  if (!loop_) return false;
  context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Orvo");
  if (!context_) return false;
  pa_context_set_state_callback(context_, &PulseStream::wake, this);
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0) return false;
  if (pa_threaded_mainloop_start(loop_) < 0) return false;
  Locked locked(loop_);
  for (;;) {
    const pa_context_state_t state = pa_context_get_state(context_);
    if (state == PA_CONTEXT_READY) break;
    if (!PA_CONTEXT_IS_GOOD(state)) return false;
    pa_threaded_mainloop_wait(loop_);
  }
  stream_ = pa_stream_new(context_, setup.name.c_str(), &format_, nullptr);
  if (!stream_) return false;
  pa_stream_set_state_callback(stream_, &PulseStream::wakeStream, this);
  pa_stream_set_write_callback(stream_, &PulseStream::wakeWrite, this);
  pa_stream_set_underflow_callback(stream_, &PulseStream::underflowed, this);
  const pa_buffer_attr wanted = attributes(setup.ahead);
  auto flags = static_cast<pa_stream_flags_t>(
      PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE |
      (setup.pinned && !setup.device.empty() ? PA_STREAM_DONT_MOVE : 0));
  if (pa_stream_connect_playback(stream_, setup.device.empty() ? nullptr : setup.device.c_str(),
                                 &wanted, flags, nullptr, nullptr) < 0)
    return false;
  for (;;) {
    const pa_stream_state_t state = pa_stream_get_state(stream_);
    if (state == PA_STREAM_READY) return true;
    if (!PA_STREAM_IS_GOOD(state)) return false;
    pa_threaded_mainloop_wait(loop_);
  }
}

bool PulseStream::write(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  Locked locked(loop_);
  while (size > 0) {
    if (stopped_ || pa_stream_get_state(stream_) != PA_STREAM_READY) return false;
    const std::size_t room = pa_stream_writable_size(stream_);
    if (room == static_cast<std::size_t>(-1)) return false;
    if (room == 0) {
      pa_threaded_mainloop_wait(loop_);  // woken by the server asking for more, or a failure
      continue;
    }
    const std::size_t now = std::min(room, size);
    if (pa_stream_write(stream_, bytes, now, nullptr, 0, PA_SEEK_RELATIVE) < 0) return false;
    bytes += now;
    size -= now;
  }
  return true;
}

double PulseStream::latency() {
  Locked locked(loop_);
  pa_usec_t usec = 0;
  int negative = 0;
  if (pa_stream_get_latency(stream_, &usec, &negative) < 0 || negative) return 0.0;
  return static_cast<double>(usec) / 1e6;
}

void PulseStream::drain() {
  Locked locked(loop_);
  if (pa_stream_get_state(stream_) != PA_STREAM_READY) return;
  pa_operation* draining = pa_stream_drain(stream_, &PulseStream::drained, this);
  if (!draining) return;
  // A stream that fails meanwhile cancels the operation.
  while (pa_operation_get_state(draining) == PA_OPERATION_RUNNING &&
         pa_stream_get_state(stream_) == PA_STREAM_READY) {
    pa_threaded_mainloop_wait(loop_);
  }
  pa_operation_unref(draining);
}

void PulseStream::stop() {
  if (!loop_) return;
  Locked locked(loop_);
  stopped_ = true;
  pa_threaded_mainloop_signal(loop_, 0);
}

void PulseStream::setAhead(double seconds) {
  Locked locked(loop_);
  const pa_buffer_attr wanted = attributes(seconds);
  if (pa_operation* setting = pa_stream_set_buffer_attr(stream_, &wanted, nullptr, nullptr)) {
    pa_operation_unref(setting);  // takes effect as the server gets to it
  }
}

// Every change of state, request for data, underflow and end of a drain wakes
// whoever waits.
void PulseStream::wake(pa_context*, void* self) {
  signal(self);
}
void PulseStream::wakeStream(pa_stream*, void* self) {
  signal(self);
}
void PulseStream::wakeWrite(pa_stream*, std::size_t, void* self) {
  signal(self);
}
void PulseStream::drained(pa_stream*, int, void* self) {
  signal(self);
}
void PulseStream::underflowed(pa_stream*, void* self) {
  static_cast<PulseStream*>(self)->underflows_.fetch_add(1, std::memory_order_relaxed);
  signal(self);
}
void PulseStream::signal(void* self) {
  pa_threaded_mainloop_signal(static_cast<PulseStream*>(self)->loop_, 0);
}

}  // namespace orvo
