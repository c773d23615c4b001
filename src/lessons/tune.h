#pragma once
// The built-in songs, written in a small tune notation: tokens such as "E4",
// "C4/2", "G4/.5", chord symbols ("C", "F", "G", "Dm", "Am") and rests ("r").

#include <string>
#include <vector>

#include "lessons/song.h"

namespace orvo {

std::vector<SNote> tune(const std::string& text, int hand);
std::vector<Song> builtInSongs();

}  // namespace orvo
