#pragma once
// The band of a jazz jam: a bar of count-in on the hi-hat, then a walking
// bass of four notes a bar, a swung ride cymbal with the hi-hat on two and
// four, and, where the lesson comps, an electric piano on the chords in the
// Charleston rhythm; the lesson's calls in the first two of every four bars;
// a last hit on the first beat after the final chorus. Times are seconds from
// the count-in at the lesson's tempo. A pure function; any thread.

#include <vector>

#include "compose/rnote.h"
#include "lessons/jazz-course.h"

namespace orvo {

namespace jazzband {
inline constexpr int kBass = 1;
inline constexpr int kComp = 5;
inline constexpr int kDrums = 9;
inline constexpr int kCalls = 0;
inline constexpr int kRide = 51;
inline constexpr int kPedalHat = 44;
inline constexpr int kClosedHat = 42;
inline constexpr int kCrash = 49;
inline constexpr double kCountIn = 4;  // beats before the player's part
}  // namespace jazzband

// `leadBeat` receives the beat at which the player's part starts.
std::vector<RNote> jazzBacking(const JazzLesson& lesson, double& leadBeat);

}  // namespace orvo
