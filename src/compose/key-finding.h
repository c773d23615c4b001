#pragma once
// The key of a take by the Krumhansl–Kessler probe-tone profiles. Pure; any thread.

#include <array>
#include <vector>

#include "compose/rnote.h"

namespace orvo {

// 24 correlations: major keys C..B, then minor keys C..B. Each note weighs
// min(length, 2 s) + 0.1 on its pitch class; equal weights score 0.
std::array<double, 24> keyScores(const std::vector<RNote>& notes);

}  // namespace orvo
