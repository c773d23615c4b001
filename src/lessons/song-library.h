#pragma once
// The songs the system can teach: the built-in ones and every MIDI file in
// the two song folders, named (library rules or a cleaned file name), graded
// and sorted by level; and finding a song by its spoken name.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "lessons/song.h"

namespace orvo {

struct LibraryRule {
  std::string match;  // lower case, found in the file name
  int level = 0;
  std::string title;
  std::string fact;
};

// The notes of one track of a MIDI file, as the reader hands them over.
struct SongTrack {
  std::string name;  // lower case
  std::vector<SNote> notes;
};

namespace library {

// "library.txt": "match | level | title | fact" lines; anything malformed is skipped.
std::vector<LibraryRule> rules(const std::filesystem::path& file);
std::string cleanTitle(const std::string& fileName);
int guessLevel(const Song& song);

// A song from a file's tracks: the named track only (when given), hands by
// track names or mean pitches, or split at middle C when one track has notes.
std::optional<Song> fromTracks(std::vector<SongTrack> tracks, double bpm,
                               const std::string& onlyTrack = "");

using FileLoader = std::function<std::optional<Song>(const std::filesystem::path&)>;

// Built-in songs, then the files of `songFolders` in order, sorted by level;
// the files' songs listed without their notes (`LibraryReader`), from `cache`
// where a file is unchanged.
std::vector<Song> load(const std::vector<std::filesystem::path>& songFolders,
                       const std::filesystem::path& rulesFile, const FileLoader& loadFile,
                       const std::string& cache = "");

// The song whose title best matches the spoken words, if any.
std::optional<int> findByName(const std::vector<Song>& songs,
                              const std::vector<std::string>& words);

}  // namespace library
}  // namespace orvo
