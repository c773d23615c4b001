#pragma once
// The command-line speech tool: speaks one sentence and returns when done.
// speak() blocks its caller; stop() may be called from any thread.

#include <string>

namespace orvo {

class SpeechTool {
 public:
  enum class Result { spoken, stopped, cannotSpeak };

  virtual ~SpeechTool() = default;
  virtual Result speak(const std::string& text, float volume) = 0;
  virtual void stop() = 0;
};

}  // namespace orvo

namespace orvo {

// No tool: nothing can be heard here, so every sentence is printed.
class NoSpeechTool final : public SpeechTool {
 public:
  Result speak(const std::string&, float) override { return Result::cannotSpeak; }
  void stop() override {}
};

}  // namespace orvo
