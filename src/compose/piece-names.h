#pragma once
// The file names of saved pieces: an unnamed idea is named for when it was
// saved and its key; a typed or spoken name is made safe for a file name.
// Pure functions; any thread.

#include <string>

namespace orvo {

// "idea 2026-03-14 18.02.11 E flat major", in local time.
std::string ideaStem(double secondsSince1970, const std::string& keyName);

// The name as the player gave it, fit for a file: "/", ":", "\" and line
// ends become spaces, invalid UTF-8 is dropped, spaces are trimmed, and a long
// name is cut at a character boundary so that it, a number and ".mid" fit in
// a file name. Empty when nothing is left.
std::string cleanPieceName(const std::string& typed);

// The longest cleaned name, in bytes: leaves room for " 9999.mid" in 255.
constexpr std::size_t maxPieceNameBytes = 240;

}  // namespace orvo
