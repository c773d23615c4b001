#include "sound/wav-file.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "platform/files.h"

namespace orvo::wav {
namespace {

void put32(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}
void put16(std::string& out, std::uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8));
}

}  // namespace

bool write(const std::filesystem::path& path, const std::vector<float>& left,
           const std::vector<float>& right, int sampleRate) {
  const std::size_t frames = std::min(left.size(), right.size());
  const auto dataBytes = static_cast<std::uint32_t>(frames * 4);
  std::string out;
  out.reserve(44 + dataBytes);
  out += "RIFF";
  put32(out, 36 + dataBytes);
  out += "WAVEfmt ";
  put32(out, 16);
  put16(out, 1);  // PCM
  put16(out, 2);
  put32(out, static_cast<std::uint32_t>(sampleRate));
  put32(out, static_cast<std::uint32_t>(sampleRate) * 4);
  put16(out, 4);
  put16(out, 16);
  out += "data";
  put32(out, dataBytes);
  auto sample = [](float x) {
    return static_cast<std::uint16_t>(
        static_cast<std::int16_t>(std::lround(std::clamp(x, -1.0f, 1.0f) * 32767.0f)));
  };
  for (std::size_t i = 0; i < frames; ++i) {
    put16(out, sample(left[i]));
    put16(out, sample(right[i]));
  }
  return files::writeFileAtomically(path, out);
}

}  // namespace orvo::wav
