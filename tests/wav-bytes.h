#pragma once
// WAV files built byte by byte, for the tests and the stand-in voice server:
// well-formed ones and, with odd fields, the broken ones a reader must refuse.

#include <cstdint>
#include <string>

namespace orvo::testing {

inline void putLittleEndian(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A WAV file of `data` in the format given (1 PCM, 3 float); `extra` chunks
// go between the format and the data.
inline std::string wavBytes(int format, int channels, int rate, int bits, const std::string& data,
                            const std::string& extra = "") {
  std::string body = "WAVEfmt ";
  putLittleEndian(body, 16, 4);
  putLittleEndian(body, static_cast<std::uint32_t>(format), 2);
  putLittleEndian(body, static_cast<std::uint32_t>(channels), 2);
  putLittleEndian(body, static_cast<std::uint32_t>(rate), 4);
  putLittleEndian(body, static_cast<std::uint32_t>(rate * channels * bits / 8), 4);
  putLittleEndian(body, static_cast<std::uint32_t>(channels * bits / 8), 2);
  putLittleEndian(body, static_cast<std::uint32_t>(bits), 2);
  body += extra + "data";
  putLittleEndian(body, static_cast<std::uint32_t>(data.size()), 4);
  body += data;
  std::string file = "RIFF";
  putLittleEndian(file, static_cast<std::uint32_t>(body.size()), 4);
  return file + body;
}

}  // namespace orvo::testing
