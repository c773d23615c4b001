#pragma once
// A Standard MIDI File read as a take, as the one-off re-arranging and the
// key checks use it: the "piano" track when there is one, else every note but
// the drums; seconds from the file's first tempo, starting at 0, tidied.
// Pure functions; any thread.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "compose/midi-file-reader.h"
#include "compose/rnote.h"
#include "lessons/song.h"

namespace orvo {

std::optional<std::vector<RNote>> takeFromMidi(const std::uint8_t* bytes, std::size_t size);
std::optional<std::vector<RNote>> takeFromMidiFile(const std::filesystem::path& file);
// The same, from a file already read.
std::vector<RNote> takeFromContents(const midifile::Contents& contents);
// A library song as notes in seconds at its own tempo, in time order.
std::vector<RNote> takeFromSong(const Song& song);

}  // namespace orvo
