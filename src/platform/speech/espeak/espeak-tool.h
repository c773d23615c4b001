#pragma once
// espeak-ng as the speech tool, at 195 words a minute.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/child-process.h"
#include "platform/speech/speech-tool.h"

namespace orvo {

class EspeakTool final : public SpeechTool {
 public:
  explicit EspeakTool(std::string program = "espeak-ng") : program_(std::move(program)) {}

  Result speak(const std::string& text, float volume) override;
  void stop() override;

  // The command line for a sentence: a text that begins with "-" gets a space
  // in front so that it is spoken, not taken as an option.
  std::vector<std::string> commandLine(const std::string& text, float volume) const;

 private:
  std::string program_;
  std::mutex mutex_;
  std::shared_ptr<ChildProcess> running_;
};

}  // namespace orvo
