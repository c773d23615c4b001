#include "core/window.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <future>
#include <memory>

namespace orvo {
namespace {

std::string oneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  std::replace(text.begin(), text.end(), '\r', ' ');
  return text;
}

}  // namespace

void Window::ui(const std::string& line) {
  if (!uiOn_) return;
  queue_.post([this, out = "@" + oneLine(line) + "\n"] { write_(out); });
}

void Window::print(const std::string& text) {
  queue_.post([this, out = oneLine(text) + "\n"] { write_(out); });
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
