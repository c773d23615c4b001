#pragma once
// Reading the song folders into the library's listing: a title, a level and
// the file for each song, never its notes (those are read when the song is
// taught or played). What a file gave is cached by path, size and
// modification time, so an unchanged library is listed without opening a
// file. Not thread-safe: one reader belongs to one thread.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "lessons/song-library.h"

namespace orvo::library {

// What reading a song file gave, and which version of the file it was.
struct FileFacts {
  std::uintmax_t size = 0;
  std::int64_t modified = 0;  // the file's modification time, in its clock's ticks
  bool teachable = false;     // it held notes
  int level = 1;              // graded from its notes
  bool operator==(const FileFacts&) const = default;
};

// Facts by the file's path. The text form is one "size modified teachable
// level path" line a file; a line that does not read so is skipped.
using SongCache = std::unordered_map<std::string, FileFacts>;
inline constexpr const char* kCacheFile = "song-cache.txt";  // in the data folder
SongCache parseCache(std::string_view text);
std::string cacheText(const SongCache& cache);

// The MIDI files below a folder, in path order; hidden ones and anything that
// is not a regular file left out.
std::vector<std::filesystem::path> songFiles(const std::filesystem::path& folder);

class LibraryReader {
 public:
  LibraryReader(std::vector<std::filesystem::path> folders, const std::filesystem::path& rulesFile,
                SongCache cache, FileLoader loadFile);

  // The songs of up to `count` more files, in file order, without notes.
  // Titles are not yet checked against each other: `addSongs` does that.
  std::vector<Song> next(std::size_t count);
  bool done() const { return folder_ >= folders_.size(); }
  int filesRead() const { return filesRead_; }

  // The cache as it is after the files read so far: every file found, none
  // that has gone. Changed when it differs from the cache it began with.
  const SongCache& cache() const { return seen_; }
  bool cacheChanged() const { return done() ? seen_ != cache_ : true; }

 private:
  bool openFolder();

  std::vector<std::filesystem::path> folders_;
  std::vector<LibraryRule> rules_;
  SongCache cache_;
  SongCache seen_;
  FileLoader loadFile_;
  std::size_t folder_ = 0;
  bool folderOpen_ = false;
  std::vector<std::filesystem::path> paths_;  // the open folder's files
  std::size_t path_ = 0;
  int filesRead_ = 0;
};

// A listed song with its notes read from its file (as it is now: nothing when
// it has gone or holds no notes any more); a song that has its notes, as it is.
std::optional<Song> withNotes(const Song& listed, const FileLoader& loadFile);

// Adds songs to a listing: a title already there (in any case) is left out,
// and the listing stays in level order, songs of one level in the order they
// came.
void addSongs(std::vector<Song>& listing, std::vector<Song> more);

}  // namespace orvo::library
