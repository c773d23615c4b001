#pragma once
// The one-off re-arranging of a MIDI file: its piano part read as a take,
// analysed and described, given the band, measured through the built-in
// sound offline, and written out with the band at 120 beats a minute.

#include <filesystem>
#include <string>

#include "diagnostics/one-off.h"

namespace orvo::oneoff {

// 0 when the file was written (also with no sound bank), 1 when the input
// cannot be read or the output cannot be written.
int reband(const std::string& input, const std::string& output,
           const std::filesystem::path& baseDir, const Print& print);

}  // namespace orvo::oneoff
