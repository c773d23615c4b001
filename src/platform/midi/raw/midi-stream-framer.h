#pragma once
// Cuts a raw MIDI byte stream into whole messages, as a MIDI service delivers
// them: running status is expanded (hardware keyboards use it for every note),
// system exclusive is dropped, stray data bytes are dropped, and real-time
// bytes are passed on alone without disturbing the message they interrupt.
// No allocation: it sits on the note path.

#include <cstddef>
#include <cstdint>

namespace orvo {

class MidiStreamFramer {
 public:
  // Calls emit(bytes, size) for every whole message the byte completes.
  template <typename Emit>
  void feed(std::uint8_t byte, Emit&& emit) {
    if (byte >= 0xF8) {
      emit(&byte, 1);
      return;
    }
    if (byte == 0xF0) {
      inSysex_ = true;
      running_ = 0;
      have_ = 0;
      return;
    }
    if (byte == 0xF7) {
      inSysex_ = false;
      have_ = 0;
      return;
    }
    if (byte & 0x80) {
      inSysex_ = false;  // any status byte ends an unterminated system exclusive
      running_ = byte < 0xF0 ? byte : 0;
      message_[0] = byte;
      have_ = 1;
      need_ = lengthOf(byte);
      if (need_ == 1) {
        have_ = 0;
        emit(message_, 1);
      }
      return;
    }
    if (inSysex_) return;
    if (have_ == 0) {
      if (running_ == 0) return;  // a data byte with no message to belong to
      message_[0] = running_;
      need_ = lengthOf(running_);
      have_ = 1;
    }
    message_[have_++] = byte;
    if (have_ == need_) {
      have_ = 0;
      emit(message_, need_);
    }
  }

  static std::size_t lengthOf(std::uint8_t status) {
    if (status >= 0xC0 && status <= 0xDF) return 2;
    if (status < 0xF0) return 3;
    if (status == 0xF1 || status == 0xF3) return 2;
    if (status == 0xF2) return 3;
    return 1;
  }

 private:
  std::uint8_t message_[3] = {};
  std::size_t have_ = 0;
  std::size_t need_ = 0;
  std::uint8_t running_ = 0;
  bool inSysex_ = false;
};

}  // namespace orvo
