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
  // Told once a write is done: nothing when it was kept, else why not, in
  // plain words for a sentence ("the disk is full"). Called on the store's own
  // thread with no lock of the store's held.
  using Kept = std::function<void(const std::optional<std::string>& problem)>;
  // The problem of a write refused because the file there could not be read.
  static constexpr const char* kUnreadable = "the file that is there could not be read";

  virtual ~Store() = default;
  // The file as it is now; nothing when it is missing or unreadable.
  virtual std::optional<std::string> read(const std::string& name) = 0;
  // Whether the file was there but could not be read (permissions, a FIFO, a
  // folder, far too long) when last read. Such a file is never written over:
  // the player's memory is not replaced by an empty one.
  virtual bool unreadable(const std::string& name) = 0;
  // Treats the file as unreadable from now on (its reader found it garbled):
  // it is kept as it is for the player, never written over.
  virtual void keepAsItIs(const std::string& name) = 0;
  // Replaces the file, atomically, later; without `merge` ours wins. `kept`
  // hears how it went.
  virtual void write(const std::string& name, std::string content, Merge merge = nullptr,
                     Kept kept = nullptr) = 0;
  // Adds a line to a file that only grows (a record of mistakes), later and in
  // order with the writes; a file that is not a regular one is left alone.
  virtual void append(const std::string& name, std::string line) = 0;
  // Waits until every write asked for so far is done; false when time ran out.
  virtual bool flush(double seconds) = 0;
};

}  // namespace orvo
