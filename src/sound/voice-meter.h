#pragma once
// The level display of the voice for the window: the sentence is rendered to
// memory, cut into 512-sample frames, windowed (Hann), transformed, and summed
// into 16 frequency bands per frame. The window receives
// "spec <id> new <seconds per frame>" and then "spec <id> " + the frames, each
// frame 16 levels from 0 to 100 joined by commas, frames joined by ";".
//
// Work runs on its own serial queue ("lorimel.meter") and never delays speech.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/runtime.h"
#include "platform/speech/espeak/espeak-renderer.h"
#include "sound/voice-wav.h"

namespace orvo {

class VoiceMeter {
 public:
  static constexpr int frameSize = 512;
  static constexpr int bands = 16;
  using Frame = std::array<int, bands>;

  VoiceMeter(Runtime& runtime, std::function<void(const std::string&)> ui);

  // A sentence the synthesiser speaks, rendered here at its rate.
  void measure(const std::string& text, int wordsPerMinute);
  // Sound already rendered.
  void measure(RenderedSpeech speech);
  // A sentence of the natural voice, as it will be played.
  void measure(const VoiceWav& wav);

  static std::vector<Frame> bandLevels(const std::vector<std::int16_t>& samples, int sampleRate);

 private:
  void send(const RenderedSpeech& speech);

  SerialQueue& queue_;
  std::function<void(const std::string&)> ui_;
  std::atomic<int> id_{0};
};

}  // namespace orvo
