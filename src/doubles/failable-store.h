#pragma once
// The data folder's store, whose writes a test can make fail as a full disk
// or a read-only folder would; otherwise the real FileStore.

#include <mutex>
#include <optional>
#include <string>

#include "platform/file-store.h"

namespace orvo {

class FailableStore final : public Store {
 public:
  FailableStore(std::filesystem::path folder, Runtime& runtime, SerialQueue& queue)
      : files_(std::move(folder), runtime, queue) {}

  // Every write fails from now on with `problem`; none: writes are kept again.
  void failWrites(std::optional<std::string> problem) {
    std::lock_guard guard(mutex_);
    failing_ = std::move(problem);
  }

  std::optional<std::string> read(const std::string& name) override { return files_.read(name); }
  bool unreadable(const std::string& name) override { return files_.unreadable(name); }
  void keepAsItIs(const std::string& name) override { files_.keepAsItIs(name); }
  void write(const std::string& name, std::string content, Merge merge, Kept kept) override {
    std::optional<std::string> problem;
    {
      std::lock_guard guard(mutex_);
      problem = failing_;
    }
    if (!problem) return files_.write(name, std::move(content), std::move(merge), std::move(kept));
    if (kept) kept(problem);
  }
  void append(const std::string& name, std::string line) override {
    files_.append(name, std::move(line));
  }
  bool flush(double seconds) override { return files_.flush(seconds); }

 private:
  FileStore files_;
  std::mutex mutex_;
  std::optional<std::string> failing_;
};

}  // namespace orvo
