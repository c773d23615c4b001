#include "platform/midi/raw/timed-writer.h"

#include <time.h>

#include <cerrno>

#include "platform/midi/midi-backend.h"
#include "platform/real-time-priority.h"
#include "platform/signals.h"

namespace orvo {
namespace {

// The last stretch before a message is slept with clock_nanosleep alone; before
// that the writer waits on its condition, so an earlier message can wake it.
constexpr std::int64_t kLastStretch = 1'000'000;

void sleepUntil(std::int64_t due) {
  timespec at{static_cast<time_t>(due / 1'000'000'000), static_cast<long>(due % 1'000'000'000)};
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
  }
}

}  // namespace

TimedWriter::TimedWriter(Write write) : write_(std::move(write)) {
  thread_ = std::thread([this] { loop(); });
  if (auto why = raiseToRealTime(thread_.native_handle())) whyNormal_ = *why;
}

TimedWriter::~TimedWriter() {
  {
    std::lock_guard guard(mutex_);
    stop_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

bool TimedWriter::at(const std::uint8_t* bytes, std::size_t size, std::int64_t due) {
  if (size == 0 || size > 3) return false;
  {
    std::lock_guard guard(mutex_);
    if (count_ == kCapacity) return false;
    // Messages mostly come in due order: find the place from the back.
    std::size_t place = count_;
    while (place > 0 && slot(place - 1).due > due) {
      slot(place) = slot(place - 1);
      --place;
    }
    Message& message = slot(place);
    message.due = due;
    message.epoch = epoch_.load();
    message.size = static_cast<std::uint8_t>(size);
    for (std::size_t i = 0; i < size; ++i) message.bytes[i] = bytes[i];
    ++count_;
  }
  wake_.notify_one();
  return true;
}

void TimedWriter::drop() {
  {
    std::lock_guard guard(mutex_);
    count_ = 0;
    epoch_.fetch_add(1);
  }
  // A message already taken out is either written now, or sees the new epoch.
  while (writing_.load()) std::this_thread::yield();
}

void TimedWriter::loop() {
  touchStack();
  blockQuitSignalsHere();
  std::unique_lock lock(mutex_);
  while (!stop_) {
    if (count_ == 0) {
      wake_.wait(lock);
      continue;
    }
    const Message next = slot(0);
    const std::int64_t wait = next.due - midiClockNow();
    if (wait > kLastStretch) {
      wake_.wait_for(lock, std::chrono::nanoseconds(wait - kLastStretch));
      continue;
    }
    head_ = (head_ + 1) % kCapacity;
    --count_;
    writing_.store(true);
    lock.unlock();
    if (wait > 0) sleepUntil(next.due);
    if (epoch_.load() == next.epoch) write_(next.bytes, next.size);
    writing_.store(false);
    lock.lock();
  }
}

}  // namespace orvo
