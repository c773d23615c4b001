#include "platform/audio/voice-output.h"

#include <cstdlib>

namespace orvo {

// ORVO_VOICE_OUT's file first (tests, the sound check), then the sound server, then
// the bare device.
std::unique_ptr<VoiceOutput> openVoiceOutput(int rate, const std::string& device) {
  if (const char* file = std::getenv("ORVO_VOICE_OUT"); file && *file) {
    return openFileVoiceOutput(file, rate);
  }
  // A chosen output: that one or none, so the caller knows it has gone.
  if (!device.empty()) return openPulseVoiceOutput(rate, "Orvo's voice", device);
  if (auto pulse = openPulseVoiceOutput(rate, "Orvo's voice")) return pulse;
  return openAlsaVoiceOutput(rate);
}

}  // namespace orvo
