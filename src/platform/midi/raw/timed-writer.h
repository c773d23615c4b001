#pragma once
// Messages given ahead of their time, written by a thread of its own that
// sleeps to each one's absolute due time on CLOCK_MONOTONIC (clock_nanosleep
// with TIMER_ABSTIME), so the time they go out does not depend on when the
// sender was woken. The messages wait in a fixed ring, sorted by due time:
// at() never allocates, and a full ring is refused, for the sender to write
// the message at once rather than lose it.
//
// Threads: at() and drop() from any thread; `write` runs on the writer's
// thread (and never while drop() is returning).

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace orvo {

class TimedWriter {
 public:
  using Write = std::function<void(const std::uint8_t* bytes, std::size_t size)>;
  static constexpr std::size_t kCapacity = 512;

  explicit TimedWriter(Write write);
  ~TimedWriter();

  // Writes a message of up to 3 bytes at `due`, nanoseconds on CLOCK_MONOTONIC
  // (at once when it has passed).
  // False when the ring is full or the message too long.
  bool at(const std::uint8_t* bytes, std::size_t size, std::int64_t due);
  // Forgets every message not yet written; once it returns, none of them is.
  void drop();

  // Why the writer runs at normal priority; empty when it is real-time.
  const std::string& whyNormalPriority() const { return whyNormal_; }

 private:
  struct Message {
    std::int64_t due = 0;
    std::uint64_t epoch = 0;
    std::uint8_t bytes[3] = {};
    std::uint8_t size = 0;
  };
  void loop();
  // With mutex_ held.
  Message& slot(std::size_t index) { return ring_[(head_ + index) % kCapacity]; }

  const Write write_;
  std::mutex mutex_;
  std::condition_variable wake_;
  // Guarded by mutex_ (the condition variable needs a plain std::mutex).
  std::array<Message, kCapacity> ring_;
  std::size_t head_ = 0;
  std::size_t count_ = 0;
  bool stop_ = false;
  // drop() moves the epoch on; a message taken out before it is not written.
  std::atomic<std::uint64_t> epoch_{0};
  std::atomic<bool> writing_{false};
  std::string whyNormal_;
  std::thread thread_;
};

}  // namespace orvo
