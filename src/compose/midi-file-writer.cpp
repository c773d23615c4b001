#include "compose/midi-file-writer.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "compose/analysis.h"
#include "platform/files.h"
#include "platform/utf8.h"

namespace orvo {

namespace {

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}
void put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value));
}
// 7 bits a byte, most significant group first, the high bit on all but the last.
void putVarLen(std::vector<std::uint8_t>& out, std::uint64_t value) {
  std::array<std::uint8_t, 10> groups{};
  int count = 0;
  do {
    groups[static_cast<std::size_t>(count++)] = static_cast<std::uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value > 0 && count < 10);
  while (count-- > 0) {
    out.push_back(static_cast<std::uint8_t>(groups[static_cast<std::size_t>(count)] |
                                            (count > 0 ? 0x80 : 0)));
  }
}

struct Event {
  std::int64_t tick;
  std::array<std::uint8_t, 3> message;
};

}  // namespace

std::vector<std::uint8_t> midiFileBytes(double bpm, const MidiTracks& tracks) {
  if (!(bpm > 0) || !std::isfinite(bpm)) bpm = 120;
  std::vector<std::uint8_t> out;
  const std::size_t count = std::min<std::size_t>(tracks.size(), 254);
  out.insert(out.end(), {'M', 'T', 'h', 'd'});
  put32(out, 6);
  put16(out, 1);
  put16(out, static_cast<std::uint32_t>(count + 1));
  put16(out, 480);
  const auto micros =
      static_cast<std::uint32_t>(std::min(16777215.0, std::trunc(60'000'000.0 / bpm)));
  out.insert(out.end(),
             {'M', 'T', 'r', 'k', 0, 0, 0, 11, 0, 0xFF, 0x51, 0x03,
              static_cast<std::uint8_t>(micros >> 16), static_cast<std::uint8_t>(micros >> 8),
              static_cast<std::uint8_t>(micros), 0, 0xFF, 0x2F, 0x00});

  auto tickOf = [&](double seconds) -> std::int64_t {
    const double ticks = seconds * bpm * 480.0 / 60.0;
    if (!std::isfinite(ticks)) return 0;
    return std::max<std::int64_t>(0, roundAway(std::min(ticks, 1e15)));
  };
  auto byte = [](int value) { return static_cast<std::uint8_t>(value); };
  for (std::size_t t = 0; t < count; ++t) {
    const auto& [name, records] = tracks[t];
    std::vector<Event> events;
    events.reserve(records.size() * 2);
    for (const RNote& record : records) {
      const std::uint8_t channel = byte(record.ch & 15);
      const std::int64_t at = tickOf(record.t);
      if (record.cc >= 0) {
        events.push_back(
            {at,
             {byte(0xB0 | channel), byte(record.cc & 127), byte(std::clamp(record.vel, 0, 127))}});
        continue;
      }
      const std::uint8_t pitch = byte(std::clamp(record.pitch, 0, 127));
      events.push_back({at, {byte(0x90 | channel), pitch, byte(std::clamp(record.vel, 1, 127))}});
      events.push_back({std::max(at + 10, tickOf(record.end)), {byte(0x80 | channel), pitch, 0}});
    }
    // At one tick: note-offs, then note-ons, then controllers.
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
      if (a.tick != b.tick) return a.tick < b.tick;
      return (a.message[0] >> 4) < (b.message[0] >> 4);
    });
    std::vector<std::uint8_t> body = {0, 0xFF, 0x03};
    const std::string shown = cutUtf8(name, 127);
    body.push_back(byte(static_cast<int>(shown.size())));
    body.insert(body.end(), shown.begin(), shown.end());
    std::int64_t last = 0;
    for (const Event& event : events) {
      putVarLen(body, static_cast<std::uint64_t>(event.tick - last));
      last = event.tick;
      body.insert(body.end(), event.message.begin(), event.message.end());
    }
    body.insert(body.end(), {0, 0xFF, 0x2F, 0x00});
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    put32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
  }
  return out;
}

bool writeMIDIFile(const std::filesystem::path& file, double bpm, const MidiTracks& tracks) {
  const auto bytes = midiFileBytes(bpm, tracks);
  return files::writeFileAtomically(file, std::string(bytes.begin(), bytes.end()));
}

}  // namespace orvo
