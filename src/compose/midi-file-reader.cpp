#include "compose/midi-file-reader.h"

#include <algorithm>
#include <array>
#include <fstream>

#include "compose/midi-file-events.h"
#include "lessons/plain-words.h"
#include "platform/utf8.h"

namespace orvo::midifile {
namespace {

struct Open {
  std::uint64_t tick = 0;
  int vel = 0;
  bool open = false;
};

// Notes grouped by chunk (by channel in a format 0 file), the first tempo, the
// track names; the drums are left out.
struct SongReader {
  Contents contents;
  Header head;
  std::vector<SongTrack> byChannel;
  std::array<std::array<Open, 128>, 16> open{};
  bool tempoSet = false;

  void header(const Header& h) {
    head = h;
    if (h.format == 0) byChannel.resize(16);
  }
  void chunk(int) {
    if (head.format != 0) contents.tracks.emplace_back();
    // Notes still open when a chunk ends are dropped with it.
    for (auto& channel : open) channel.fill({});
  }
  void close(int channel, int pitch, std::uint64_t endTick) {
    Open& note = open[static_cast<std::size_t>(channel)][static_cast<std::size_t>(pitch)];
    if (!note.open) return;
    note.open = false;
    SNote made;
    made.beat = static_cast<double>(note.tick) / head.division;
    made.dur = std::max(0.05, static_cast<double>(endTick - note.tick) / head.division);
    made.pitch = pitch;
    made.vel = note.vel;
    (head.format == 0 ? byChannel[static_cast<std::size_t>(channel)] : contents.tracks.back())
        .notes.push_back(made);
  }
  void channel(std::uint64_t tick, int status, int first, int second) {
    const int channel = status & 0x0F;
    if (channel == 9) return;  // drums are not taught
    const int type = status & 0xF0;
    if (type == 0x90 && second > 0) {
      close(channel, first, tick);  // the same key struck again ends the note before
      open[static_cast<std::size_t>(channel)][static_cast<std::size_t>(first)] = {tick, second,
                                                                                  true};
    } else if (type == 0x80 || type == 0x90) {
      close(channel, first, tick);
    }
  }
  void meta(std::uint64_t, int type, const std::uint8_t* data, std::size_t length) {
    if (type == 0x03 && head.format == 1) {
      contents.tracks.back().name =
          lowerCase(repairUtf8(std::string(reinterpret_cast<const char*>(data), length)));
    } else if (type == 0x51 && length == 3 && !tempoSet) {
      std::uint32_t micros =
          (std::uint32_t{data[0]} << 16) | (std::uint32_t{data[1]} << 8) | data[2];
      if (micros > 0) {
        contents.bpm = 60'000'000.0 / micros;
        tempoSet = true;
      }
    }
  }
};

}  // namespace

std::optional<Contents> read(const std::uint8_t* data, std::size_t size) {
  SongReader reader;
  auto whole = walk(data, size, reader);
  if (!whole) return std::nullopt;
  Contents contents = std::move(reader.contents);
  contents.whole = *whole;
  if (reader.head.format == 0) {
    for (auto& track : reader.byChannel) {
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
