#pragma once

#include <array>
#include <cstdint>

namespace orvo {

// One timed 3-byte MIDI message for playback; `t` in seconds from the start.
struct Ev {
  double t = 0;
  std::array<std::uint8_t, 3> bytes{};
};

}  // namespace orvo
