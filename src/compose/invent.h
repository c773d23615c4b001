#pragma once
// Music made up on the spot: a piece in a mood (a left hand on the mood's
// chords, one chord per mood.seconds, and a melody of chord tones on the
// strong beats with steps between), and a piece re-dressed as a lullaby, a
// video game or a film score. Pure functions: every choice comes from the
// caller's random source, so a seed gives the same piece.

#include <string>
#include <vector>

#include "compose/analysis.h"
#include "compose/moods.h"
#include "compose/rnote.h"
#include "platform/random.h"

namespace orvo {

// The piano's notes (channel 0), in the mood's mode on `tonic` (a pitch class).
std::vector<RNote> invent(int tonic, const Mood& mood, Random& random);

// The restyles: "lullaby", "8-bit" and "epic".
const std::vector<std::string>& restyleNames();
// The caption title and the sentence of a restyle.
std::string restyleTitle(const std::string& style);
std::string restyleSentence(const std::string& style);
// The piece re-arranged in the style, band included, ready to play; empty for
// a style that is not one of the three.
std::vector<RNote> restyled(const std::vector<RNote>& piece, const Analysis& analysis,
                            const std::string& style, Random& random);

}  // namespace orvo
