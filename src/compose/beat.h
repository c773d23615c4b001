#pragma once
// The beat of a take: the inter-onset intervals scored against 134 candidate
// periods from 0.33 s to 0.995 s. Pure; any thread.

#include <optional>
#include <vector>

#include "compose/rnote.h"

namespace orvo {

// Seconds per beat, when the onsets agree on one.
std::optional<double> detectBeatRaw(const std::vector<RNote>& notes);
// The raw beat, refused when the two halves of a longer take disagree, and
// doubled until it is at least 0.5 s (never above 120 beats a minute).
std::optional<double> steadyBeat(const std::vector<RNote>& notes);
inline std::optional<double> detectBeat(const std::vector<RNote>& notes) {
  return steadyBeat(notes);
}

}  // namespace orvo
