#pragma once
// The ideas folder: one Standard MIDI File per saved piece. A piece is never
// overwritten (a taken name gets " 2", " 3" ...), every file appears whole or
// not at all, and temporaries left by a run that was killed mid-save are
// never taken for a piece.
//
// Threads: file I/O; activities and the ideas queue, never the MIDI thread,
// never with the engine lock held. Two savers at once each get a name of
// their own.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace orvo {

class IdeasFolder {
 public:
  explicit IdeasFolder(std::filesystem::path folder) : folder_(std::move(folder)) {}

  const std::filesystem::path& folder() const { return folder_; }

  // A new file stem + ".mid" (or the first free numbered name); its stem, or
  // nothing when it could not be written.
  std::optional<std::string> write(const std::string& stem, const std::vector<std::uint8_t>& bytes);
  // The piece gets the name stem + ".mid" (or the first free numbered one);
  // its new stem, or nothing.
  std::optional<std::string> rename(const std::filesystem::path& piece, const std::string& stem);

  // The ".mid" file changed last; folders and temporaries are not pieces.
  std::optional<std::filesystem::path> newest() const;
  // Every piece, the one changed longest ago first.
  std::vector<std::filesystem::path> oldestFirst() const;

  // Temporaries of runs that are no longer alive.
  void removeStaleTemporaries() const;

 private:
  // Calls each(name, last change) for every piece.
  template <typename Each>
  void forEachPiece(Each&& each) const;

  std::filesystem::path folder_;
};

}  // namespace orvo
