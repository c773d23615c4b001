// The natural voice's WAV reader on any bytes: never a crash, and what it
// reads is always a mono file with samples in range.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "sound/voice-wav.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto wav = orvo::readVoiceWav(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!wav) return 0;
  if (wav->rate < 1000) std::abort();
  for (float sample : wav->samples)
    if (!std::isfinite(sample) || std::fabs(sample) > 8.0f) std::abort();
  return 0;
}
