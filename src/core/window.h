#pragma once
// Lines to the app window on standard output. Every write goes through one
// serial queue ("lorimel.ui"), so lines never interleave and keep the order of
// the calls. Thread-safe.

#include <functional>
#include <string>
#include <string_view>

#include "platform/runtime.h"

namespace orvo {

class Window {
 public:
  using Writer = std::function<void(std::string_view bytes)>;

  Window(SerialQueue& queue, bool uiOn, Writer write)
      : queue_(queue), uiOn_(uiOn), write_(std::move(write)) {}

  bool on() const { return uiOn_; }

  // A window line: "@" + line, with its newlines turned into spaces. Nothing
  // is written unless the window is attached.
  void ui(const std::string& line);

  // A plain line (a sentence in text mode), written whether or not the window
  // is attached, in order with the window lines.
  void print(const std::string& text);

  // Waits (up to `seconds`) until everything queued so far has been written.
  void flush(double seconds);

 private:
  SerialQueue& queue_;
  bool uiOn_;
  Writer write_;
};

// Writes all the bytes to standard output; a closed pipe is ignored.
void writeToStdout(std::string_view bytes);

}  // namespace orvo
