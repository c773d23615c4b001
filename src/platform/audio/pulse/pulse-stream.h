#pragma once
// A playback stream of our own to PulseAudio (PipeWire serves it too), on a
// threaded main loop of its own: the voice's stream and the music's.
//
// Threads: one thread writes; latency(), drain() and stop() may be called from
// any thread. Never under a lock of ours: write() and drain() wait on playback.

#include <pulse/pulseaudio.h>

#include <atomic>
#include <cstddef>
#include <string>

namespace orvo {

class PulseStream {
 public:
  struct Setup {
    std::string name;  // what the server shows for the stream
    pa_sample_spec format;
    double ahead;  // seconds queued before the output plays them
    std::size_t wakeBytes = static_cast<std::size_t>(-1);  // room that wakes a writer
    std::string device;  // the server's name for an output; empty: its default
    // Stays on `device`: when that output goes, writes fail rather than the
    // server moving the stream elsewhere.
    bool pinned = false;
  };

  PulseStream() = default;
  ~PulseStream();
  PulseStream(const PulseStream&) = delete;
  PulseStream& operator=(const PulseStream&) = delete;

  // False without a server, or when the device is not there.
  bool open(const Setup& setup);
  // Waits for room as playback frees it. False when the stream broke, or
  // stop() was called.
  bool write(const void* bytes, std::size_t size);
  double latency();
  void drain();
  // Wakes and ends a write waiting for room.
  void stop();

  // How often the output found the stream empty and played silence.
  int underflows() const { return underflows_.load(std::memory_order_relaxed); }
  // Queues `seconds` ahead from now on.
  void setAhead(double seconds);

 private:
  struct Locked {
    explicit Locked(pa_threaded_mainloop* loop) : loop(loop) { pa_threaded_mainloop_lock(loop); }
    ~Locked() { pa_threaded_mainloop_unlock(loop); }
    pa_threaded_mainloop* loop;
  };
  pa_buffer_attr attributes(double ahead) const;
  static void wake(pa_context*, void* self);
  static void wakeStream(pa_stream*, void* self);
  static void wakeWrite(pa_stream*, std::size_t, void* self);
  static void drained(pa_stream*, int, void* self);
  static void underflowed(pa_stream*, void* self);
  static void signal(void* self);

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  pa_sample_spec format_{};
  std::size_t wakeBytes_ = static_cast<std::size_t>(-1);
  std::atomic<bool> stopped_{false};
  std::atomic<int> underflows_{0};
};

}  // namespace orvo
