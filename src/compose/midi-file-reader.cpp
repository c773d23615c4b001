#include "compose/midi-file-reader.h"

#include <algorithm>
#include <array>
#include <fstream>

#include "lessons/plain-words.h"
#include "platform/utf8.h"

namespace orvo::midifile {
namespace {

std::uint32_t be32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         p[3];
}
std::uint16_t be16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

// A variable-length quantity of at most four bytes; nothing when it runs past `end`.
std::optional<std::uint32_t> varLen(const std::uint8_t* data, std::size_t& at, std::size_t end) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    if (at >= end) return std::nullopt;
    std::uint8_t byte = data[at++];
    value = (value << 7) | (byte & 0x7F);
    if (!(byte & 0x80)) return value;
  }
  return std::nullopt;
}

struct Open {
  std::uint64_t tick = 0;
  int vel = 0;
  bool open = false;
};

}  // namespace

std::optional<Contents> read(const std::uint8_t* data, std::size_t size) {
  if (size <= 14 || std::string_view(reinterpret_cast<const char*>(data), 4) != "MThd") {
    return std::nullopt;
  }
  const std::uint32_t headerLength = be32(data + 4);
  const int format = be16(data + 8);
  const int trackCount = be16(data + 10);
  const int division = be16(data + 12);
  if (division == 0 || (division & 0x8000)) return std::nullopt;  // SMPTE time is not read
  Contents contents;
  if (trackCount == 0) return contents;

  std::vector<SongTrack> byChannel(format == 0 ? 16 : 0);
  bool tempoSet = false;
  std::uint64_t at = 8ull + headerLength;
  while (at <= size && size - at >= 8 &&
         std::string_view(reinterpret_cast<const char*>(data + at), 4) == "MTrk") {
    const std::uint64_t length = be32(data + at + 4);
    const std::size_t start = static_cast<std::size_t>(at + 8);
    const std::size_t end = static_cast<std::size_t>(std::min<std::uint64_t>(size, start + length));
    at = start + length;

    SongTrack chunk;
    std::array<std::array<Open, 128>, 16> open{};
    std::uint64_t tick = 0;
    int status = 0;
    std::size_t i = start;
    auto close = [&](int channel, int pitch, std::uint64_t endTick) {
      Open& note = open[static_cast<std::size_t>(channel)][static_cast<std::size_t>(pitch)];
      if (!note.open) return;
      note.open = false;
      SNote made;
      made.beat = static_cast<double>(note.tick) / division;
      made.dur = std::max(0.05, static_cast<double>(endTick - note.tick) / division);
      made.pitch = pitch;
      made.vel = note.vel;
      (format == 0 ? byChannel[static_cast<std::size_t>(channel)] : chunk).notes.push_back(made);
    };
    while (i < end) {
      auto delta = varLen(data, i, end);
      if (!delta || i >= end) break;
      tick += *delta;
      int byte = data[i];
      if (byte == 0xFF) {  // meta event
        if (i + 1 >= end) break;
        int type = data[i + 1];
        i += 2;
        auto length = varLen(data, i, end);
        if (!length || *length > end - i) break;
        if (type == 0x03 && format == 1) {
          std::string name(reinterpret_cast<const char*>(data + i), *length);
          chunk.name = lowerCase(repairUtf8(name));
        } else if (type == 0x51 && *length == 3 && !tempoSet) {
          std::uint32_t micros =
              (std::uint32_t{data[i]} << 16) | (std::uint32_t{data[i + 1]} << 8) | data[i + 2];
          if (micros > 0) {
            contents.bpm = 60'000'000.0 / micros;
            tempoSet = true;
          }
        }
        i += *length;
        continue;
      }
      if (byte == 0xF0 || byte == 0xF7) {  // system exclusive
        ++i;
        auto length = varLen(data, i, end);
        if (!length || *length > end - i) break;
        i += *length;
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
      const int channel = status & 0x0F;
      if (channel == 9) continue;  // drums are not taught
      const int type = status & 0xF0;
      if (type == 0x90 && second > 0) {
        close(channel, first, tick);  // the same key struck again ends the note before
        Open& note = open[static_cast<std::size_t>(channel)][static_cast<std::size_t>(first)];
        note = {tick, second, true};
      } else if (type == 0x80 || type == 0x90) {
        close(channel, first, tick);
      }
    }
    if (format != 0) contents.tracks.push_back(std::move(chunk));
    if (at > size) break;
  }
  if (format == 0) {
    for (auto& track : byChannel) {
      if (!track.notes.empty()) contents.tracks.push_back(std::move(track));
    }
  }
  for (auto& track : contents.tracks) {
    std::stable_sort(track.notes.begin(), track.notes.end(),
                     [](const SNote& a, const SNote& b) { return a.beat < b.beat; });
  }
  return contents;
}

std::optional<Contents> readFile(const std::filesystem::path& file) {
  std::error_code error;
  auto size = std::filesystem::file_size(file, error);
  if (error || size > maxFileBytes) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<std::uint8_t> bytes(size);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
  if (static_cast<std::size_t>(in.gcount()) != size) return std::nullopt;
  return read(bytes.data(), bytes.size());
}

std::optional<Song> load(const std::filesystem::path& file, const std::string& track) {
  auto contents = readFile(file);
  if (!contents) return std::nullopt;
  return library::fromTracks(std::move(contents->tracks), contents->bpm, track);
}

}  // namespace orvo::midifile
