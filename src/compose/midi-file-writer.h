#pragma once
// Standard MIDI Files (format 1, 480 ticks a quarter note) from named tracks
// of notes and controllers: a tempo track, then one chunk per track. Pure
// apart from the one atomic write.

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "compose/rnote.h"

namespace orvo {

using MidiTracks = std::vector<std::pair<std::string, std::vector<RNote>>>;

std::vector<std::uint8_t> midiFileBytes(double bpm, const MidiTracks& tracks);
// Written atomically (a temporary name, then the rename); false on any failure.
bool writeMIDIFile(const std::filesystem::path& file, double bpm, const MidiTracks& tracks);

}  // namespace orvo
