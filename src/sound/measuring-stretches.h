#pragma once
// A long piece measured offline is cut into stretches, one per core, each
// rendered on a graph of its own. A stretch's render starts early enough that
// every note sounding when it begins (still held, or kept by the pedal) is
// played from its start, and the reverb of what came before has settled as it
// would have; only the stretch itself is counted.

#include <vector>

#include "sound/ev.h"

namespace orvo {

// Longer than any reverb tail: from this long before a moment on, what is heard
// then no longer depends on what came earlier, except for notes still sounding.
constexpr double kTailSeconds = 10.0;

struct MeasuringStretch {
  double renderFrom = 0;  // before this, only controllers are sent (never a note-on)
  double countFrom = 0;
  double until = 0;
};

// `count` stretches of equal length over `seconds` of the events (sorted by
// time); one when the piece is too short for the lead-ins to pay.
std::vector<MeasuringStretch> measuringStretches(const std::vector<Ev>& sorted, double seconds,
                                                 int count);

}  // namespace orvo
