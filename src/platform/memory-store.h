#pragma once
// A Store in memory, for tests: writes land at once, and a test can change a
// file behind the store's back as another copy of the program would.

#include <map>
#include <mutex>
#include <optional>
#include <set>

#include "platform/store.h"

namespace orvo {

class MemoryStore final : public Store {
 public:
  std::optional<std::string> read(const std::string& name) override {
    std::lock_guard guard(mutex_);
    auto found = files_.find(name);
    if (found == files_.end()) return std::nullopt;
    known_[name] = found->second;
    return found->second;
  }
  bool unreadable(const std::string& name) override {
    std::lock_guard guard(mutex_);
    return unreadable_.count(name) > 0;
  }
  void keepAsItIs(const std::string& name) override {
    std::lock_guard guard(mutex_);
    unreadable_.insert(name);
  }
  void write(const std::string& name, std::string content, Merge merge = nullptr,
             Kept kept = nullptr) override {
    std::optional<std::string> theirs;
    std::optional<std::string> problem;
    {
      std::lock_guard guard(mutex_);
      if (failing_) problem = failing_;
      if (unreadable_.count(name) > 0) problem = "the file that is there could not be read";
      auto found = files_.find(name);
      auto known = known_.find(name);
      if (found != files_.end() && (known == known_.end() || known->second != found->second))
        theirs = found->second;
    }
    if (problem) {
      if (kept) kept(problem);
      return;
    }
    // The merge may take its owner's lock: never while holding ours.
    if (merge && theirs) content = merge(content, *theirs);
    {
      std::lock_guard guard(mutex_);
      ++writes_;
      files_[name] = content;
      known_[name] = std::move(content);
    }
    if (kept) kept(std::nullopt);
  }
  bool flush(double) override { return true; }

  // Another program's write.
  void changeBehindOurBack(const std::string& name, std::string content) {
    std::lock_guard guard(mutex_);
    files_[name] = std::move(content);
  }
  // Every write from now on fails for `problem` (a full disk, say); nothing
  // makes them work again.
  void failWrites(std::optional<std::string> problem) {
    std::lock_guard guard(mutex_);
    failing_ = std::move(problem);
  }
  // The file is there but cannot be read, as after a read that failed.
  void makeUnreadable(const std::string& name) {
    std::lock_guard guard(mutex_);
    unreadable_.insert(name);
    files_.erase(name);
  }
  int writes() {
    std::lock_guard guard(mutex_);
    return writes_;
  }

 private:
  std::mutex mutex_;
  std::map<std::string, std::string> files_, known_;
  std::set<std::string> unreadable_;
  std::optional<std::string> failing_;
  int writes_ = 0;
};

}  // namespace orvo
