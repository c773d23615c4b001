#include "sound/voice-wav.h"

#include <cstring>

#include "platform/files.h"

namespace orvo {

namespace {

std::uint32_t le32(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
}

std::uint16_t le16(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                    static_cast<unsigned char>(bytes[at + 1]) << 8);
}

}  // namespace

std::optional<VoiceWav> readVoiceWav(std::string_view bytes) {
  if (bytes.size() < 12 || bytes.substr(0, 4) != "RIFF" || bytes.substr(8, 4) != "WAVE") {
    return std::nullopt;
  }
  // The RIFF size must be the file's: a file cut short by a crash is not read.
  if (static_cast<std::uint64_t>(le32(bytes, 4)) + 8 != bytes.size()) return std::nullopt;
  int format = 0, channels = 0, bits = 0;
  std::uint32_t rate = 0;
  std::optional<std::string_view> data;
  std::size_t at = 12;
  while (at + 8 <= bytes.size()) {
    const std::string_view id = bytes.substr(at, 4);
    const std::uint64_t size = le32(bytes, at + 4);
    const std::size_t body = at + 8;
    if (body + size > bytes.size()) return std::nullopt;  // a chunk past the end
    if (id == "fmt ") {
      if (size < 16) return std::nullopt;
      format = le16(bytes, body);
      channels = le16(bytes, body + 2);
      rate = le32(bytes, body + 4);
      bits = le16(bytes, body + 14);
      // WAVE_FORMAT_EXTENSIBLE names the real format in its sub-format.
      if (format == 0xFFFE && size >= 26) format = le16(bytes, body + 24);
    } else if (id == "data") {
      data = bytes.substr(body, static_cast<std::size_t>(size));
    }
    at = body + static_cast<std::size_t>(size) + (size & 1);  // chunks are padded to even sizes
  }
  if (!data || channels != 1 || rate < 1000 || rate > 192000) return std::nullopt;
  VoiceWav wav;
  wav.rate = static_cast<int>(rate);
  if (format == 1 && bits == 16) {
    if (data->size() % 2 != 0) return std::nullopt;
    wav.samples.resize(data->size() / 2);
    for (std::size_t i = 0; i < wav.samples.size(); ++i) {
      wav.samples[i] = static_cast<float>(static_cast<std::int16_t>(le16(*data, i * 2))) / 32768.0f;
    }
  } else if (format == 3 && bits == 32) {
    if (data->size() % 4 != 0) return std::nullopt;
    wav.samples.resize(data->size() / 4);
    for (std::size_t i = 0; i < wav.samples.size(); ++i) {
      const std::uint32_t word = le32(*data, i * 4);
      float sample;
      std::memcpy(&sample, &word, sizeof sample);
      // A sample that is not a number, or far past full scale, means a broken file.
      if (!(sample >= -8.0f && sample <= 8.0f)) return std::nullopt;
      wav.samples[i] = sample;
    }
  } else {
    return std::nullopt;
  }
  return wav;
}

std::optional<VoiceWav> readVoiceWavFile(const std::filesystem::path& path) {
  auto bytes = files::readFile(path);
  if (!bytes) return std::nullopt;
  return readVoiceWav(*bytes);
}

}  // namespace orvo
