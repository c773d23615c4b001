#include "platform/audio/voice-output.h"

#include <cstdlib>

namespace orvo {

// ORVO_VOICE_OUT's file first (tests, the sound check), then the sound server, then
// the bare device.
std::unique_ptr<VoiceOutput> openVoiceOutput(int rate) {
  if (const char* file = std::getenv("ORVO_VOICE_OUT"); file && *file) {
    return openFileVoiceOutput(file, rate);
  }
  if (auto pulse = openPulseVoiceOutput(rate, "natural voice")) return pulse;
  return openAlsaVoiceOutput(rate);
}

}  // namespace orvo
