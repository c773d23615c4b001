#pragma once
// Reading Standard MIDI Files (formats 0 and 1) into songs. Malformed,
// truncated, huge or hostile files give no song or the notes read so far:
// every read is bounds-checked and memory grows only with the file.
// Pure functions; any thread.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "lessons/song-library.h"

namespace orvo::midifile {

struct Contents {
  double bpm = 120;               // the first tempo of the file
  std::vector<SongTrack> tracks;  // by channel (format 0) or by chunk
  bool whole = true;              // no chunk cut short or missing
};

// Files larger than this are refused rather than read whole.
constexpr std::size_t maxFileBytes = 64u << 20;

std::optional<Contents> read(const std::uint8_t* bytes, std::size_t size);
std::optional<Contents> readFile(const std::filesystem::path& file);

// The song in a file: only the named track when `track` is not empty, hands
// assigned as the library needs them. Nothing when it cannot be read.
std::optional<Song> load(const std::filesystem::path& file, const std::string& track = "");

}  // namespace orvo::midifile
