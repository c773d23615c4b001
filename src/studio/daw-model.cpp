#include "studio/daw-model.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace orvo {

const DawTrack* DawState::track(int index) const {
  if (index == 0) return &master;
  for (const DawTrack& each : tracks) {
    if (each.index == index) return &each;
  }
  return nullptr;
}

std::string spokenDB(double db) {
  if (std::isnan(db) || db <= -120.0) return "silent";
  if (db > 999.0) db = 999.0;  // a broken meter, never a number too long to say
  // One decimal, halves away from zero: 1.25 is 1.3.
  const double tenths = std::round(std::fabs(db) * 10.0 + 1e-9) / 10.0;
  if (tenths < 0.05) return "0 decibels";
  char number[32];
  if (std::fabs(tenths - std::round(tenths)) < 1e-9) {
    std::snprintf(number, sizeof number, "%.0f", tenths);
  } else {
    std::snprintf(number, sizeof number, "%.1f", tenths);
  }
  return std::string(db < 0 ? "minus " : "plus ") + number + " decibels";
}

std::string spokenPan(int pan) {
  if (pan == 0) return "centre";
  return std::to_string(std::abs(pan)) + " percent " + (pan < 0 ? "left" : "right");
}

}  // namespace orvo
