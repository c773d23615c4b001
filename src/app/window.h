#pragma once
// Lines to the app window on standard output. Every write happens on one
// serial queue ("lorimel.ui"), so lines never interleave and keep the order of
// the calls. Thread-safe.
//
// Lines wait in a ring of reused buffers, so sending one (an "on" line for
// every note the player plays) does not allocate once the ring is warm.

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/runtime.h"

namespace orvo {

class Window {
 public:
  using Writer = std::function<void(std::string_view bytes)>;

  Window(SerialQueue& queue, bool uiOn, Writer write);

  bool on() const { return uiOn_; }

  // A window line: "@" + line, with its newlines turned into spaces. Nothing
  // is written unless the window is attached.
  void ui(std::string_view line);

  // A plain line (a sentence in text mode), written whether or not the window
  // is attached, in order with the window lines.
  void print(std::string_view text);

  // Bytes written as they are, with no line end (a prompt, typed keys echoed).
  void printRaw(std::string_view bytes);

  // Waits (up to `seconds`) until everything queued so far has been written.
  void flush(double seconds);

 private:
  void queueLine(std::string_view prefix, std::string_view text, bool raw = false);
  void drain();

  SerialQueue& queue_;
  bool uiOn_;
  Writer write_;
  Task drainTask_;

  std::mutex mutex_;
  std::vector<std::string> ring_;
  std::size_t head_ = 0;
  std::size_t count_ = 0;
  bool drainQueued_ = false;
  std::string writing_;  // the line being written; swapped with ring slots
};

// Writes all the bytes to standard output; a closed pipe is ignored.
void writeToStdout(std::string_view bytes);

}  // namespace orvo
