#pragma once
// Variations of a take: backwards, upside down (a diatonic mirror), and in
// the other mode. Pure functions; any thread.

#include <vector>

#include "compose/analysis.h"
#include "compose/rnote.h"

namespace orvo {

// kind 0 backwards, 1 upside down, 2 the other mode; the band is not included.
std::vector<RNote> variation(int kind, const std::vector<RNote>& notes, const Analysis& analysis);

}  // namespace orvo
