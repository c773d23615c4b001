#include "app/window.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <future>
#include <memory>

namespace orvo {
namespace {

constexpr std::size_t kSlots = 256;
constexpr std::size_t kSlotSize = 64;

}  // namespace

Window::Window(SerialQueue& queue, bool uiOn, Writer write)
    : queue_(queue), uiOn_(uiOn), write_(std::move(write)), drainTask_([this] { drain(); }) {
  ring_.resize(kSlots);
  for (auto& slot : ring_) slot.reserve(kSlotSize);
  writing_.reserve(kSlotSize);
}

void Window::ui(std::string_view line) {
  if (uiOn_) queueLine("@", line);
}

void Window::print(std::string_view text) {
  queueLine("", text);
}

void Window::printRaw(std::string_view bytes) {
  queueLine("", bytes, true);
}

void Window::queueLine(std::string_view prefix, std::string_view text, bool raw) {
  std::lock_guard guard(mutex_);
  if (count_ == ring_.size()) {
    // The writer is far behind (a stalled window): make room rather than drop a line.
    std::vector<std::string> bigger(ring_.size() * 2);
    for (std::size_t i = 0; i < count_; ++i) bigger[i].swap(ring_[(head_ + i) % ring_.size()]);
    ring_.swap(bigger);
    head_ = 0;
  }
  std::string& slot = ring_[(head_ + count_) % ring_.size()];
  slot.clear();
  slot.append(prefix);
  if (raw) {
    slot.append(text);
  } else {
    for (char c : text) slot.push_back(c == '\n' || c == '\r' ? ' ' : c);
    slot.push_back('\n');
  }
  ++count_;
  if (!drainQueued_) {
    drainQueued_ = true;
    queue_.post(drainTask_);
  }
}

void Window::drain() {
  for (;;) {
    {
      std::lock_guard guard(mutex_);
      if (count_ == 0) {
        drainQueued_ = false;
        return;
      }
      writing_.swap(ring_[head_]);
      head_ = (head_ + 1) % ring_.size();
      --count_;
    }
    write_(writing_);
  }
}

void Window::flush(double seconds) {
  auto done = std::make_shared<std::promise<void>>();
  auto future = done->get_future();
  queue_.post([done] { done->set_value(); });
  future.wait_for(std::chrono::duration<double>(seconds));
}

void writeToStdout(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace orvo
