#pragma once
// Reading the natural voice's rendered sentences: mono WAV files of 16-bit
// or 32-bit float samples at the file's own rate. Anything else, and any file
// whose sizes do not add up (cut short by a crash, a chunk running past the
// end), is refused, so that sentence goes to the platform voice instead.
// Pure; any thread.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace orvo {

struct VoiceWav {
  int rate = 0;
  std::vector<float> samples;  // -1 to 1
  double seconds() const { return rate > 0 ? static_cast<double>(samples.size()) / rate : 0; }
};

std::optional<VoiceWav> readVoiceWav(std::string_view bytes);
std::optional<VoiceWav> readVoiceWavFile(const std::filesystem::path& path);

}  // namespace orvo
