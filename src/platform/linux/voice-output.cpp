#include "platform/audio/voice-output.h"

#include <cstdlib>

namespace orvo {

// ORVO_VOICE_OUT's file first (tests, the sound check), then the sound server, then
// the bare device.
std::unique_ptr<VoiceOutput> openVoiceOutput(int rate, const std::string& device) {
  if (const char* file = std::getenv("ORVO_VOICE_OUT"); file && *file) {
    return openFileVoiceOutput(file, rate);
  }
  // A chosen output that has gone: the default one, so the voice is never silent.
  if (!device.empty()) {
    if (auto chosen = openPulseVoiceOutput(rate, "Orvo's voice", device)) return chosen;
  }
  if (auto pulse = openPulseVoiceOutput(rate, "Orvo's voice")) return pulse;
  return openAlsaVoiceOutput(rate);
}

}  // namespace orvo
