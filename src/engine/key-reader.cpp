#include "engine/key-reader.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "app/log.h"
#include "engine/engine.h"
#include "platform/utf8.h"
#include "rooms/compose/compose-room.h"

namespace orvo {

void KeyReader::feed(std::uint8_t byte) {
  bool afterCR = lastWasCR_;
  lastWasCR_ = byte == '\r';
  // A piece being named takes every byte, Return and Escape included.
  if (engine_.namingPiece()) {
    if (byte == '\n' && afterCR) return;
    engine_.nameKey(byte);
    return;
  }
  if (engine_.typingQuestion()) {
    if (byte == '\n' && afterCR) return;
    engine_.askKey(byte);
    return;
  }
  switch (state_) {
    case State::line:
      if (byte == '\n' || byte == '\r') {
        state_ = State::keys;
        std::string text = repairUtf8(line_);
        line_.clear();
        engine_.appCommand(text);
      } else if (line_.size() < maxLine) {
        line_.push_back(static_cast<char>(byte));
      }
      return;
    case State::escape:
      // ESC O x is a function or keypad key; ESC [ ... a control sequence.
      state_ = byte == '[' ? State::escapeBracket : byte == 'O' ? State::escapeO : State::keys;
      return;
    case State::escapeO:
      state_ = State::keys;
      return;
    case State::escapeBracket:
      // Parameter and intermediate bytes belong to the sequence; the final
      // byte ends it. Only the bare left and right arrows mean anything.
      // A sequence is a few bytes; a flood of them is kept no further than that.
      if (byte >= 0x20 && byte <= 0x3f) {
        if (line_.size() < maxEscape) line_.push_back(static_cast<char>(byte));
        return;
      }
      state_ = State::keys;
      if (line_.empty() && (byte == 'C' || byte == 'D')) {
        ButtonKeys keys = engine_.buttonKeys();
        engine_.command(byte == 'C' ? keys.next : keys.back);
      }
      line_.clear();
      return;
    case State::keys:
      break;
  }
  if (byte == '\n' && afterCR) return;  // the second half of a CR LF
  if (byte == '~') {
    state_ = State::line;
    line_.clear();
  } else if (byte == 0x1b) {
    state_ = State::escape;
    line_.clear();
  } else if (byte == 0x7f) {
    engine_.restartTake();
  } else {
    engine_.computerKey(static_cast<char>(byte));
  }
}

void KeyReader::readLoop(int fd, bool uiOn, Log& log, const std::function<void()>& windowClosed) {
  for (;;) {
    std::uint8_t byte = 0;
    ssize_t got = ::read(fd, &byte, 1);
    if (got == 1) {
      feed(byte);
      continue;
    }
    int error = got < 0 ? errno : 0;
    if (got < 0 && error == EINTR) continue;
    if (got < 0 && error == EAGAIN) {
      pollfd wait{fd, POLLIN, 0};
      ::poll(&wait, 1, -1);
      continue;
    }
    if (got == 0 && uiOn) {
      windowClosed();
      return;
    }
    log.logLine("computer keyboard input ended (read " + std::to_string(got) + ", errno " +
                std::to_string(error) + ")");
    return;
  }
}

}  // namespace orvo
