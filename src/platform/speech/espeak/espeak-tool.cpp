#include "platform/speech/espeak/espeak-tool.h"

#include <algorithm>
#include <cmath>

namespace orvo {

std::vector<std::string> EspeakTool::commandLine(const std::string& text, float volume) const {
  int amplitude = static_cast<int>(std::lround(std::clamp(volume, 0.0f, 1.0f) * 100));
  std::string spoken = !text.empty() && text.front() == '-' ? " " + text : text;
  return {program_, "-s", "195", "-a", std::to_string(amplitude), spoken};
}

SpeechTool::Result EspeakTool::speak(const std::string& text, float volume,
                                     const std::function<void()>& began) {
  ChildProcess::Options options;
  if (const std::string device = device_ ? device_() : ""; !device.empty())
    options.env["PULSE_SINK"] = device;
  std::shared_ptr<ChildProcess> child = ChildProcess::start(commandLine(text, volume), "", options);
  if (!child) return Result::cannotSpeak;
  {
    std::lock_guard guard(mutex_);
    running_ = child;
  }
  if (began) began();
  int status = child->wait(130.0);
  {
    std::lock_guard guard(mutex_);
    if (running_ == child) running_.reset();
  }
  if (status == 128 + 15) return Result::stopped;
  // espeak-ng reports a missing sound device on its error output but still exits 0.
  if (status != 0 || child->errors().find("rror") != std::string::npos) return Result::cannotSpeak;
  return Result::spoken;
}

void EspeakTool::stop() {
  std::shared_ptr<ChildProcess> child;
  {
    std::lock_guard guard(mutex_);
    child = running_;
  }
  if (child) child->terminate();
}

}  // namespace orvo
