#pragma once
// The computer keyboard and the window's input: standard input read one byte
// at a time. "~" starts a typed line (ended by a newline or carriage return,
// cut at 2000 bytes); ESC [ C and ESC [ D are the right and left arrows; DEL
// restarts the take; every other byte is a single key for the engine.
//
// feed() runs on the key reader's thread only.

#include <cstdint>
#include <functional>
#include <string>

namespace orvo {

class Engine;
class Log;

class KeyReader {
 public:
  static constexpr std::size_t maxLine = 2000;
  static constexpr std::size_t maxEscape = 32;

  explicit KeyReader(Engine& engine) : engine_(engine) {}

  void feed(std::uint8_t byte);

  // Reads `fd` until it ends. When the window drives us (`uiOn`), the end of
  // input is the window closing and calls `windowClosed`; otherwise the reader
  // logs why it ended and returns, and the engine goes on.
  void readLoop(int fd, bool uiOn, Log& log, const std::function<void()>& windowClosed);

 private:
  enum class State { keys, line, escape, escapeBracket, escapeO };

  Engine& engine_;
  State state_ = State::keys;
  std::string line_;
  bool lastWasCR_ = false;  // a CR LF pair is one line end
};

}  // namespace orvo
