#pragma once
// A Standard MIDI File as the on-screen piano roll shows and plays it: every
// note of every channel (drums too), timed in seconds through the file's
// tempo changes, with the track number of the chunk it came from. A note
// released while its channel's sustain pedal is down lasts until the pedal
// comes up. Pure functions; any thread.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace orvo {

struct RollNote {
  double t = 0;    // onset, seconds from the start of the file
  double dur = 0;  // seconds
  int pitch = 60;
  int vel = 64;
  int track = 0;  // index of the file's track chunk
  int ch = 0;     // MIDI channel, so it plays on its own instrument
};

// Notes by onset; nothing when the bytes are no MIDI file.
std::optional<std::vector<RollNote>> readMIDIForRoll(const std::uint8_t* bytes, std::size_t size);
std::optional<std::vector<RollNote>> readMIDIForRoll(const std::filesystem::path& file);

// One note as the window's roll lines carry it: "%.3f,%.3f,%d,%d,%d;".
void appendRollRecord(std::string& line, const RollNote& note);

}  // namespace orvo
