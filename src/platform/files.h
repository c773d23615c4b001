#pragma once
// Reading and writing the data folder's files. Every write goes through
// writeFileAtomically, so a crash or a kill leaves either the old file or the
// new one, never half of one.

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace orvo::files {

// Writes a temporary file beside `path`, flushes it to disk and renames it
// over `path`. False when any step failed, with errno saying why; the old file
// is then untouched. The player's files are theirs alone (0600); a file another
// program must read (REAPER's scripts, a menu entry) is given 0644.
bool writeFileAtomically(const std::filesystem::path& path, const std::string& content,
                         mode_t mode = 0600);

// Why a write failed (its errno), in plain words for a sentence: "the disk is
// full", "the data folder cannot be written".
std::string writeProblemWords(int error);

// Writes a new file in `folder` named stem + extension, or stem + " 2" +
// extension, " 3" ... when that name is taken: an existing file is never
// replaced, even by another writer at the same moment. Atomic like the above.
// The path written, or nothing on failure.
std::optional<std::filesystem::path> writeNewFile(const std::filesystem::path& folder,
                                                  const std::string& stem,
                                                  const std::string& extension,
                                                  const std::string& content);

// Moves a file to the first free name of the same kind in `folder`; a file
// already of that name stays where it is. The new path, or nothing.
std::optional<std::filesystem::path> moveToNewName(const std::filesystem::path& file,
                                                   const std::filesystem::path& folder,
                                                   const std::string& stem,
                                                   const std::string& extension);

// Whether a file name is one of writeFileAtomically's temporaries.
bool isTemporaryName(const std::string& fileName);

// Files written or appended to by the calling thread so far (the note path's
// tests check that it writes none).
int writesOnThisThread();

// The whole file, or nothing when it is missing, unreadable, not a regular
// file (a FIFO is never waited on, a folder never read) or longer than `limit`.
std::optional<std::string> readFile(const std::filesystem::path& path,
                                    std::size_t limit = static_cast<std::size_t>(-1));

// Appends one chunk with a single write (a new file is the player's alone);
// false on failure, and never waits on a FIFO.
bool appendToFile(const std::filesystem::path& path, const std::string& text);

// Creates the folder and its parents; false on failure.
bool makeFolders(const std::filesystem::path& path);
// Bytes free to this user on the file system that holds `path`; nothing when
// the system cannot say.
std::optional<std::uint64_t> freeSpace(const std::filesystem::path& path);
// Creates the folder for the player alone (0700), or makes an existing one of
// theirs so; false when it cannot be made, is not a folder (a link is not
// followed) or belongs to someone else.
bool makePrivateFolder(const std::filesystem::path& path);

// Removes writeFileAtomically's temporaries in `folder` left by a program that
// is no longer running (a kill mid-write); the number removed.
int removeStaleTemporaries(const std::filesystem::path& folder);

// Holds an advisory lock on a folder for as long as it lives, shared with
// every other process that takes it: a read, change and write of a data file
// under it cannot interleave with another copy's. Without the folder (or on a
// file system without locks) it holds nothing and says so through held().
class FolderLock {
 public:
  explicit FolderLock(const std::filesystem::path& folder);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  bool held() const { return held_; }

 private:
  int fd_ = -1;
  bool held_ = false;
};

// Trims spaces, tabs and line ends from both sides.
std::string trim(const std::string& text);

}  // namespace orvo::files
