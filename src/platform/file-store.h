#pragma once
// The data folder as a Store: each write is a temporary file, fsync and
// rename, done in order on one serial queue. It remembers what it last read
// or wrote of each file, so a file changed meanwhile by another copy of the
// program is merged rather than overwritten. A write asked for before such a
// merge is merged too when its turn comes, since its content predates it.

#include <filesystem>
#include <map>
#include <set>

#include "platform/mutex.h"
#include "platform/runtime.h"
#include "platform/store.h"

namespace orvo {

class FileStore final : public Store {
 public:
  FileStore(std::filesystem::path folder, Runtime& runtime, SerialQueue& queue);

  std::optional<std::string> read(const std::string& name) override;
  bool unreadable(const std::string& name) override;
  void keepAsItIs(const std::string& name) override;
  void write(const std::string& name, std::string content, Merge merge = nullptr,
             Kept kept = nullptr) override;
  void append(const std::string& name, std::string line) override;
  bool flush(double seconds) override;

  const std::filesystem::path& folder() const { return folder_; }

 private:
  // Nothing when written, else why not in plain words.
  std::optional<std::string> writeNow(const std::string& name, std::string content,
                                      const Merge& merge, int mergesBefore);

  std::filesystem::path folder_;
  Runtime& runtime_;
  SerialQueue& queue_;
  Mutex mutex_;
  std::map<std::string, std::optional<std::string>> known_ GUARDED_BY(mutex_);
  std::set<std::string> unreadable_ GUARDED_BY(mutex_);
  std::map<std::string, int> merges_ GUARDED_BY(mutex_);  // merges done, per file
};

}  // namespace orvo
