#include "sound/measuring-stretches.h"

#include <algorithm>
#include <array>
#include <limits>

namespace orvo {
namespace {

constexpr double kShortestSplit = 60.0;  // a shorter piece is measured in one go
constexpr double kNever = std::numeric_limits<double>::infinity();

// When each sounding note began, followed through the events in order.
class Sounding {
 public:
  Sounding() {
    for (auto& channel : since_) channel.fill(kNever);
    heldByPedal_.fill(kNever);
  }

  void take(const Ev& event) {
    const int channel = event.bytes[0] & 0x0F;
    const int kind = event.bytes[0] & 0xF0;
    const int key = event.bytes[1] & 0x7F;
    const bool on = kind == 0x90 && event.bytes[2] > 0;
    if (on) {
      since_[channel][key] = std::min(since_[channel][key], event.t);
    } else if (kind == 0x80 || kind == 0x90) {
      if (pedal_[channel])
        heldByPedal_[channel] = std::min(heldByPedal_[channel], since_[channel][key]);
      since_[channel][key] = kNever;
    } else if (kind == 0xB0 && key == 64) {
      pedal_[channel] = event.bytes[2] >= 64;
      if (!pedal_[channel]) heldByPedal_[channel] = kNever;
    }
  }

  // When the earliest note still sounding began; kNever when none is.
  double earliest() const {
    double first = kNever;
    for (std::size_t channel = 0; channel < 16; ++channel) {
      first = std::min(first, heldByPedal_[channel]);
      for (double t : since_[channel]) first = std::min(first, t);
    }
    return first;
  }

 private:
  std::array<std::array<double, 128>, 16> since_;
  std::array<double, 16> heldByPedal_;
  std::array<bool, 16> pedal_{};
};

}  // namespace

std::vector<MeasuringStretch> measuringStretches(const std::vector<Ev>& sorted, double seconds,
                                                 int count) {
  if (count <= 1 || seconds < kShortestSplit) return {{0, 0, seconds}};
  std::vector<MeasuringStretch> stretches;
  Sounding sounding;
  std::size_t next = 0;
  for (int i = 0; i < count; ++i) {
    const double from = seconds * i / count;
    // Everything up to the stretch's first moment: what sounds then. An event
    // exactly at it is sent by the render itself.
    while (next < sorted.size() && sorted[next].t < from) sounding.take(sorted[next++]);
    const double lead = std::min(from - kTailSeconds, sounding.earliest());
    stretches.push_back({std::max(0.0, lead), from, seconds * (i + 1) / count});
  }
  return stretches;
}

}  // namespace orvo
