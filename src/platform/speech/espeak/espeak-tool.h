#pragma once
// espeak-ng as the speech tool, at 195 words a minute, on the sound output
// the voice goes to (PulseAudio's PULSE_SINK), so falling back to the tool
// never moves the voice onto the music's speakers.

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/child-process.h"
#include "platform/speech/speech-tool.h"

namespace orvo {

class EspeakTool final : public SpeechTool {
 public:
  // The sound output to speak on now (the server's name; empty: the usual one).
  using Device = std::function<std::string()>;
  explicit EspeakTool(std::string program = "espeak-ng", Device device = {})
      : program_(std::move(program)), device_(std::move(device)) {}

  Result speak(const std::string& text, float volume,
               const std::function<void()>& began = nullptr) override;
  void stop() override;

  // The command line for a sentence: a text that begins with "-" gets a space
  // in front so that it is spoken, not taken as an option.
  std::vector<std::string> commandLine(const std::string& text, float volume) const;

 private:
  std::string program_;
  Device device_;
  std::mutex mutex_;
  std::shared_ptr<ChildProcess> running_;
};

}  // namespace orvo
