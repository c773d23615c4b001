#pragma once
// Short remarks on the harmony of a take, comparing it with the pieces saved
// before. Pure functions; the random pick among equal remarks takes the
// caller's random source.

#include <string>
#include <vector>

#include "compose/analysis.h"
#include "compose/saved-piece.h"
#include "platform/random.h"

namespace orvo {

struct KnownLoop {
  bool minor;
  std::vector<int> roots;  // semitones above the tonic
  std::string sentence;
};

const std::vector<KnownLoop>& knownLoops();

// The chord roots as semitones above the tonic, repeats in a row removed.
std::vector<int> rootPath(const Analysis& analysis);

// At most four sentences: a known loop, the colour of the key, the ending, the
// same opening or the same key as earlier pieces (`earlier` is oldest first;
// `now` in seconds since 1970, for when an earlier piece was saved).
std::vector<std::string> insights(const Analysis& analysis, const std::vector<SavedPiece>& earlier,
                                  Random& random, double now);

}  // namespace orvo
