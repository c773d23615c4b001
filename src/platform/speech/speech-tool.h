#pragma once
// The command-line speech tool: speaks one sentence and returns when done.
// speak() blocks its caller; stop() may be called from any thread.

#include <functional>
#include <string>

namespace orvo {

class SpeechTool {
 public:
  enum class Result { spoken, stopped, cannotSpeak };

  virtual ~SpeechTool() = default;
  // `began` is called once the sentence's sound is on its way (the tool has
  // started), so the window knows the voice is sounding.
  virtual Result speak(const std::string& text, float volume,
                       const std::function<void()>& began = nullptr) = 0;
  virtual void stop() = 0;
};

}  // namespace orvo

namespace orvo {

// No tool: nothing can be heard here, so every sentence is printed.
class NoSpeechTool final : public SpeechTool {
 public:
  Result speak(const std::string&, float, const std::function<void()>&) override {
    return Result::cannotSpeak;
  }
  void stop() override {}
};

}  // namespace orvo
