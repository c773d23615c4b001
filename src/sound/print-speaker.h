#pragma once
// The speaker of text mode, and the last resort when no voice can be started:
// each sentence is printed as one line on standard output.
// Thread-safe; say() returns as soon as the line is queued.

#include <functional>
#include <string>

#include "sound/speaker.h"

namespace orvo {

class PrintSpeaker final : public Speaker {
 public:
  explicit PrintSpeaker(std::function<void(const std::string&)> printLine)
      : printLine_(std::move(printLine)) {}

  void say(const std::string& text) override { printLine_(text); }
  void stop() override {}
  void silenceNow() override {}
  std::string voiceName() override { return ""; }

 private:
  std::function<void(const std::string&)> printLine_;
};

}  // namespace orvo
