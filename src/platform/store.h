#pragma once
// Every data file of the player's (profile, memory, progress, intros, voice,
// band level, top key, hands, last song) is read and written through a Store.
// Files are named by their name in the data folder ("progress.json").
//
// Threads: write() from any thread except the MIDI thread (it allocates) and
// returns at once; the file-backed store writes on its own serial queue.
// read() does file I/O: start-up, one-off runs and activities only.

#include <functional>
#include <optional>
#include <string>

namespace orvo {

class Store {
 public:
  // What to write when the file changed behind the store's back since it last
  // read or wrote it (another copy of the program): from our content and theirs.
  using Merge = std::function<std::string(const std::string& ours, const std::string& theirs)>;

  virtual ~Store() = default;
  // The file as it is now; nothing when it is missing or unreadable.
  virtual std::optional<std::string> read(const std::string& name) = 0;
  // Replaces the file, atomically, later; without `merge` ours wins.
  virtual void write(const std::string& name, std::string content, Merge merge = nullptr) = 0;
  // Waits until every write asked for so far is done; false when time ran out.
  virtual bool flush(double seconds) = 0;
};

}  // namespace orvo
