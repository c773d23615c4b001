#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace orvo {

// One timed 3-byte MIDI message for playback; `t` in seconds from the start.
struct Ev {
  double t = 0;
  std::array<std::uint8_t, 3> bytes{};
};

// Appends a note: its note-on at `t` and its note-off `length` seconds later.
inline void addNote(std::vector<Ev>& events, double t, int channel, int key, int velocity,
                    double length) {
  auto c = static_cast<std::uint8_t>(channel & 0x0F);
  auto k = static_cast<std::uint8_t>(key & 0x7F);
  events.push_back(
      {t, {static_cast<std::uint8_t>(0x90 | c), k, static_cast<std::uint8_t>(velocity & 0x7F)}});
  events.push_back({t + length, {static_cast<std::uint8_t>(0x80 | c), k, 0}});
}

// In the order they are played; messages at the same time keep their order.
inline void sortByTime(std::vector<Ev>& events) {
  std::stable_sort(events.begin(), events.end(),
                   [](const Ev& a, const Ev& b) { return a.t < b.t; });
}

}  // namespace orvo
