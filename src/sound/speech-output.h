#pragma once
// Everything the system says goes through a SpeechOutput (the Speaker, or a
// double in tests).
//
// say() blocks its caller (an engine activity, never the main queue) until the
// sentence has been spoken; stop() may be called from any thread and makes
// every blocked say() return at once.

#include <string>

namespace orvo {

class SpeechOutput {
 public:
  virtual ~SpeechOutput() = default;

  virtual void say(const std::string& text) = 0;
  virtual void stop() = 0;
  // stop(), and also cut the sound off immediately; used on the way out.
  virtual void silenceNow() = 0;
  // The current voice's name; empty for the default voice.
  virtual std::string voiceName() = 0;
  // Switches to the next voice and returns the words that name it.
  virtual std::string nextVoice() = 0;
};

}  // namespace orvo
