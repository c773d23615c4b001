#pragma once
// The one walk over a Standard MIDI File's events that every reader shares:
// the header, then each track chunk's channel and meta events in order with
// their running tick. Bounds-checked against hostile files: a chunk is read
// as far as it goes, and nothing is allocated. Pure; any thread.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace orvo::midifile {

struct Header {
  int format = 0;
  int trackCount = 0;
  int division = 0;  // ticks per quarter note
};

namespace detail {

inline std::uint32_t be32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         p[3];
}
inline std::uint16_t be16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

// A variable-length quantity of at most four bytes; nothing when it runs past `end`.
inline std::optional<std::uint32_t> varLen(const std::uint8_t* data, std::size_t& at,
                                           std::size_t end) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    if (at >= end) return std::nullopt;
    std::uint8_t byte = data[at++];
    value = (value << 7) | (byte & 0x7F);
    if (!(byte & 0x80)) return value;
  }
  return std::nullopt;
}

}  // namespace detail

// Walks the file, calling on the visitor:
//   header(const Header&)                       once, before any chunk;
//   chunk(int index)                            as each track chunk begins;
//   channel(tick, status, first, second)        each channel message (running status resolved);
//   meta(tick, type, const uint8_t* data, len)  each meta event.
// Nothing when the bytes are no MIDI file or count SMPTE time. Otherwise
// whether the file is whole: as many chunks as the header says, none cut short,
// each ending with its end-of-track event.
template <typename Visitor>
std::optional<bool> walk(const std::uint8_t* data, std::size_t size, Visitor& visitor) {
  using detail::varLen;
  if (size <= 14 || std::string_view(reinterpret_cast<const char*>(data), 4) != "MThd") {
    return std::nullopt;
  }
  const std::uint32_t headerLength = detail::be32(data + 4);
  Header header{detail::be16(data + 8), detail::be16(data + 10), detail::be16(data + 12)};
  if (header.division == 0 || (header.division & 0x8000)) return std::nullopt;
  visitor.header(header);
  if (header.trackCount == 0) return true;

  bool whole = true;
  int chunks = 0;
  std::uint64_t at = 8ull + headerLength;
  while (at <= size && size - at >= 8 &&
         std::string_view(reinterpret_cast<const char*>(data + at), 4) == "MTrk") {
    const std::uint64_t length = detail::be32(data + at + 4);
    const std::size_t start = static_cast<std::size_t>(at + 8);
    if (start + length > size) whole = false;
    const std::size_t end = static_cast<std::size_t>(std::min<std::uint64_t>(size, start + length));
    at = start + length;
    visitor.chunk(chunks++);

    bool ended = false;
    std::uint64_t tick = 0;
    int status = 0;
    std::size_t i = start;
    while (i < end) {
      auto delta = varLen(data, i, end);
      if (!delta || i >= end) break;
      tick += *delta;
      const int byte = data[i];
      if (byte == 0xFF) {
        if (i + 1 >= end) break;
        const int type = data[i + 1];
        i += 2;
        auto metaLength = varLen(data, i, end);
        if (!metaLength || *metaLength > end - i) break;
        if (type == 0x2F) ended = true;
        visitor.meta(tick, type, data + i, static_cast<std::size_t>(*metaLength));
        i += *metaLength;
        continue;
      }
      if (byte == 0xF0 || byte == 0xF7) {  // system exclusive
        ++i;
        auto sysexLength = varLen(data, i, end);
        if (!sysexLength || *sysexLength > end - i) break;
        i += *sysexLength;
        continue;
      }
      if (byte >= 0xF0) break;  // not an event a file may hold
      if (byte & 0x80) {
        status = byte;
        ++i;
      } else if (status == 0) {
        break;  // data with no status to belong to
      }
      const int needs = (status & 0xE0) == 0xC0 ? 1 : 2;
      if (end - i < static_cast<std::size_t>(needs)) break;
      const int first = data[i] & 0x7F;
      const int second = needs == 2 ? data[i + 1] & 0x7F : 0;
      i += static_cast<std::size_t>(needs);
      visitor.channel(tick, status, first, second);
    }
    whole = whole && ended;
    if (at > size) break;
  }
  return whole && chunks == header.trackCount;
}

}  // namespace orvo::midifile
