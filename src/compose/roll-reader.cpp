#include "compose/roll-reader.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "compose/midi-file-events.h"
#include "compose/midi-file-reader.h"
#include "platform/files.h"

namespace orvo {

namespace {

struct TickNote {
  std::uint64_t on = 0, off = 0;
  int pitch = 0, vel = 0, track = 0, ch = 0;
};

struct Tempo {
  std::uint64_t tick = 0;
  std::uint32_t micros = 500'000;
};

struct RollWalk {
  midifile::Header head;
  std::vector<TickNote> notes;
  std::vector<Tempo> tempi;
  int track = -1;
  // Per channel and pitch: the open note's index in `notes`, or -1.
  std::array<std::array<int, 128>, 16> open{};
  std::array<bool, 16> pedalDown{};
  std::array<std::vector<int>, 16> sustained;  // released under the pedal, still sounding

  void header(const midifile::Header& h) { head = h; }
  void endChunk(std::uint64_t tick) {
    // What is still sounding when a chunk ends ends with it.
    for (int ch = 0; ch < 16; ++ch) {
      for (int pitch = 0; pitch < 128; ++pitch) finish(ch, pitch, tick);
      for (int index : sustained[static_cast<std::size_t>(ch)]) setOff(index, tick);
      sustained[static_cast<std::size_t>(ch)].clear();
    }
  }
  void chunk(int index) {
    if (track >= 0) endChunk(lastTick);
    track = index;
    lastTick = 0;
    for (auto& channel : open) channel.fill(-1);
    pedalDown.fill(false);
  }
  std::uint64_t lastTick = 0;

  void setOff(int index, std::uint64_t tick) {
    TickNote& note = notes[static_cast<std::size_t>(index)];
    note.off = std::max(note.on, tick);
  }
  // The open note of this key lets go: now, or when the pedal comes up.
  void finish(int ch, int pitch, std::uint64_t tick) {
    int& index = open[static_cast<std::size_t>(ch)][static_cast<std::size_t>(pitch)];
    if (index < 0) return;
    if (pedalDown[static_cast<std::size_t>(ch)]) {
      sustained[static_cast<std::size_t>(ch)].push_back(index);
    } else {
      setOff(index, tick);
    }
    index = -1;
  }
  void channel(std::uint64_t tick, int status, int first, int second) {
    lastTick = tick;
    const int ch = status & 0x0F;
    const int type = status & 0xF0;
    const auto c = static_cast<std::size_t>(ch);
    if (type == 0x90 && second > 0) {
      // A key struck again ends its note now, pedal or not; one sustained ends too.
      int& index = open[c][static_cast<std::size_t>(first)];
      if (index >= 0) setOff(index, tick);
      auto& held = sustained[c];
      for (std::size_t i = 0; i < held.size();) {
        if (notes[static_cast<std::size_t>(held[i])].pitch == first) {
          setOff(held[i], tick);
          held.erase(held.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
          ++i;
        }
      }
      index = static_cast<int>(notes.size());
      notes.push_back({tick, tick, first, second, track, ch});
    } else if (type == 0x80 || type == 0x90) {
      finish(ch, first, tick);
    } else if (type == 0xB0 && first == 64) {
      const bool down = second >= 64;
      if (pedalDown[c] && !down) {
        for (int index : sustained[c]) setOff(index, tick);
        sustained[c].clear();
      }
      pedalDown[c] = down;
    }
  }
  void meta(std::uint64_t tick, int type, const std::uint8_t* data, std::size_t length) {
    lastTick = tick;
    if (type == 0x51 && length == 3) {
      std::uint32_t micros =
          (std::uint32_t{data[0]} << 16) | (std::uint32_t{data[1]} << 8) | data[2];
      if (micros > 0) tempi.push_back({tick, micros});
    }
  }
};

}  // namespace

std::optional<std::vector<RollNote>> readMIDIForRoll(const std::uint8_t* bytes, std::size_t size) {
  RollWalk walk;
  if (!midifile::walk(bytes, size, walk)) return std::nullopt;
  if (walk.track >= 0) walk.endChunk(walk.lastTick);

  // The tempo map, from every chunk, in time order; 120 beats a minute until the first.
  std::stable_sort(walk.tempi.begin(), walk.tempi.end(),
                   [](const Tempo& a, const Tempo& b) { return a.tick < b.tick; });
  struct Segment {
    std::uint64_t tick;
    double seconds;
    double secondsPerTick;
  };
  const double division = walk.head.division;
  std::vector<Segment> segments{{0, 0.0, 0.5 / division}};
  for (const Tempo& tempo : walk.tempi) {
    const Segment& last = segments.back();
    const double at =
        last.seconds + static_cast<double>(tempo.tick - last.tick) * last.secondsPerTick;
    const double perTick = tempo.micros / 1e6 / division;
    if (tempo.tick == last.tick) {
      segments.back().secondsPerTick = perTick;
    } else {
      segments.push_back({tempo.tick, at, perTick});
    }
  }
  auto seconds = [&](std::uint64_t tick) {
    auto after = std::upper_bound(segments.begin(), segments.end(), tick,
                                  [](std::uint64_t t, const Segment& s) { return t < s.tick; });
    const Segment& segment = *(after - 1);
    return segment.seconds + static_cast<double>(tick - segment.tick) * segment.secondsPerTick;
  };

  std::vector<RollNote> roll;
  roll.reserve(walk.notes.size());
  for (const TickNote& note : walk.notes) {
    const double t = seconds(note.on);
    roll.push_back({t, seconds(note.off) - t, note.pitch, note.vel, note.track, note.ch});
  }
  std::stable_sort(roll.begin(), roll.end(),
                   [](const RollNote& a, const RollNote& b) { return a.t < b.t; });
  return roll;
}

std::optional<std::vector<RollNote>> readMIDIForRoll(const std::filesystem::path& file) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) return std::nullopt;
  auto size = std::filesystem::file_size(file, error);
  if (error || size > midifile::maxFileBytes) return std::nullopt;
  auto text = files::readFile(file);
  if (!text) return std::nullopt;
  return readMIDIForRoll(reinterpret_cast<const std::uint8_t*>(text->data()), text->size());
}

void appendRollRecord(std::string& line, const RollNote& note) {
  char record[80];
  int n = std::snprintf(record, sizeof record, "%.3f,%.3f,%d,%d,%d;", note.t, note.dur, note.pitch,
                        note.vel, note.track);
  if (n > 0) line.append(record, static_cast<std::size_t>(std::min<int>(n, sizeof record - 1)));
}

}  // namespace orvo
