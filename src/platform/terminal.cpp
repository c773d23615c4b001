#include "platform/terminal.h"

#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

namespace orvo::terminal {
namespace {

termios savedTerm{};
std::atomic<bool> saved{false};

}  // namespace

bool enterKeyMode() {
  if (!::isatty(STDIN_FILENO)) return false;
  if (::tcgetattr(STDIN_FILENO, &savedTerm) != 0) return true;
  saved = true;
  std::atexit(restore);
  termios keys = savedTerm;
  keys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  ::tcsetattr(STDIN_FILENO, TCSANOW, &keys);
  return true;
}

void restore() {
  if (saved) ::tcsetattr(STDIN_FILENO, TCSANOW, &savedTerm);
}

}  // namespace orvo::terminal
