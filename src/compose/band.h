#pragma once
// The generated band: bass, strings, cello and drums (and in the full style
// high strings, horn and a warm pad) written from a take's chords and beat,
// with expression controllers shaping the sustained parts, and split into
// named tracks for a file. Pure functions: the random velocities come from
// the caller's random source, so a seed gives the same band every time.

#include <string>
#include <utility>
#include <vector>

#include "compose/analysis.h"
#include "compose/rnote.h"
#include "platform/random.h"

namespace orvo {

// "classic", "simple" or "full"; anything else reads as "classic".
std::string bandStyleFrom(const std::string& fileText);
// classic -> full -> simple -> classic; anything else -> classic.
std::string nextBandStyle(const std::string& style);
// What is said when the style is set.
std::string bandStyleSentence(const std::string& style);

// The band's notes (no controllers), clashes with the player removed.
std::vector<RNote> bandParts(const std::vector<RNote>& notes, const Analysis& analysis,
                             const std::string& style, Random& random);
// bandParts plus the expression controllers of the sustained parts (not in "classic").
std::vector<RNote> bandFull(const std::vector<RNote>& notes, const Analysis& analysis,
                            const std::string& style, Random& random);
// Named tracks in a fixed order; a channel with no note makes no track.
std::vector<std::pair<std::string, std::vector<RNote>>> bandTracks(const std::vector<RNote>& band);

// The band only where the piano plays: what starts more than `pad` seconds
// from every piano note is left out, and a note running on past that is cut
// there, so a file with hours of nothing between its notes is not
// accompanied through them.
std::vector<RNote> bandWherePianoPlays(const std::vector<RNote>& band,
                                       const std::vector<RNote>& piano, double pad);
// Band notes a semitone from a player's note for more than 0.3 s go quiet
// while they overlap; drums and controllers pass unchanged.
std::vector<RNote> settle(const std::vector<RNote>& band, const std::vector<RNote>& against);

// The channels a style plays on.
std::vector<int> bandChannels(const std::string& style);

}  // namespace orvo
