#include "platform/file-store.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/files.h"

namespace orvo {
namespace {

// No data file of ours comes near this; a longer one is not the player's.
constexpr std::size_t kLongestFile = 16u << 20;

}  // namespace

FileStore::FileStore(std::filesystem::path folder, Runtime& runtime, SerialQueue& queue)
    : folder_(std::move(folder)), runtime_(runtime), queue_(queue) {}

std::optional<std::string> FileStore::read(const std::string& name) {
  auto text = files::readFile(folder_ / name, kLongestFile);
  struct stat info {};
  const bool there = ::lstat((folder_ / name).c_str(), &info) == 0;
  MutexLock guard(mutex_);
  known_[name] = text;
  if (!text && there) {
    unreadable_.insert(name);
  } else {
    unreadable_.erase(name);
  }
  return text;
}

void FileStore::keepAsItIs(const std::string& name) {
  MutexLock guard(mutex_);
  unreadable_.insert(name);
}

bool FileStore::unreadable(const std::string& name) {
  MutexLock guard(mutex_);
  return unreadable_.count(name) > 0;
}

void FileStore::write(const std::string& name, std::string content, Merge merge, Kept kept) {
  int mergesBefore;
  {
    MutexLock guard(mutex_);
    mergesBefore = merges_[name];
  }
  queue_.post([this, name, content = std::move(content), merge = std::move(merge),
               kept = std::move(kept), mergesBefore]() mutable {
    auto problem = writeNow(name, std::move(content), merge, mergesBefore);
    if (kept) kept(problem);
  });
}

std::optional<std::string> FileStore::writeNow(const std::string& name, std::string content,
                                               const Merge& merge, int mergesBefore) {
  {
    MutexLock guard(mutex_);
    if (unreadable_.count(name) > 0) return kUnreadable;
  }
  const auto path = folder_ / name;
  // Another copy's read, change and write of the same file must not fall
  // between our read and our rename, or one of the two changes is lost.
  files::FolderLock others(folder_);
  auto onDisk = files::readFile(path);
  bool changed;
  {
    MutexLock guard(mutex_);
    auto known = known_.find(name);
    // A write asked for before our last merge lacks what that merge brought in.
    changed = onDisk &&
              (known == known_.end() || known->second != onDisk || merges_[name] != mergesBefore);
  }
  if (changed && merge) {
    content = merge(content, *onDisk);
    // Counted only once merged, so a write asked for meanwhile is merged again.
    MutexLock guard(mutex_);
    ++merges_[name];
  }
  if (!files::writeFileAtomically(path, content))
    return files::writeProblemWords(errno);  // the old file stays whole
  MutexLock guard(mutex_);
  known_[name] = std::move(content);
  return std::nullopt;
}

void FileStore::append(const std::string& name, std::string line) {
  queue_.post([path = folder_ / name, line = std::move(line)] { files::appendToFile(path, line); });
}

bool FileStore::flush(double seconds) {
  auto done = runtime_.makeSemaphore();
  queue_.post([done] { done->signal(); });
  return done->wait(seconds);
}

}  // namespace orvo
