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
    bool refused;
    {
      std::lock_guard guard(mutex_);
      refused = unreadable_.count(name) > 0;
      auto found = files_.find(name);
      auto known = known_.find(name);
      if (found != files_.end() && (known == known_.end() || known->second != found->second))
        theirs = found->second;
    }
    if (refused) {
      if (kept) kept(kUnreadable);
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
  void append(const std::string& name, std::string line) override {
    std::lock_guard guard(mutex_);
    files_[name] += line;
  }
  bool flush(double) override { return true; }

  // Another program's write.
  void changeBehindOurBack(const std::string& name, std::string content) {
    std::lock_guard guard(mutex_);
    files_[name] = std::move(content);
  }
  int writes() {
    std::lock_guard guard(mutex_);
    return writes_;
  }

 private:
  std::mutex mutex_;
  std::map<std::string, std::string> files_, known_;
  std::set<std::string> unreadable_;
  int writes_ = 0;
};

}  // namespace orvo
