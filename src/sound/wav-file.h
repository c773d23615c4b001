#pragma once
// 16-bit stereo WAV files, written atomically.

#include <filesystem>
#include <vector>

namespace orvo::wav {

// Samples beyond full scale are clipped. False when the file could not be written.
bool write(const std::filesystem::path& path, const std::vector<float>& left,
           const std::vector<float>& right, int sampleRate);

}  // namespace orvo::wav
