#pragma once
// The pitch and loudness of a voice over time, by the YIN method: for each
// hop, the lag whose cumulative-mean-normalised difference first dips under a
// threshold gives the period. Pure functions; any thread.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvo::pitch {

struct Frame {
  double t = 0;    // seconds, the frame's centre
  double hz = 0;   // 0 when unvoiced
  double rms = 0;  // 0 to 1
};

std::vector<Frame> track(const std::vector<std::int16_t>& samples, int sampleRate,
                         double minHz = 60.0, double maxHz = 500.0);

}  // namespace orvo::pitch
