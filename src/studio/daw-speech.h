#pragma once
// The small pieces the studio assistant's sentences are built from: counts,
// lists, tracks and numbers as they are spoken. Pure; any thread.

#include <string>
#include <vector>

#include "studio/daw-model.h"

namespace orvo::dawspeech {

// "1 plug-in", "3 plug-ins".
std::string plural(long count, const std::string& word);
// "A, B and C": `last` joins the final two, `between` the others.
std::string joined(const std::vector<std::string>& items, const std::string& last = " and ",
                   const std::string& between = ", ");
// The first letter in upper case.
std::string capitalised(std::string text);
// "the master", the track's name, or "Track 3" for one without a name.
std::string trackName(const DawTrack& track);
// 120 as "120", 97.5 as "97.5": at most two decimals.
std::string spokenNumber(double value);

}  // namespace orvo::dawspeech
