#include "platform/file-store.h"

#include "platform/files.h"

namespace orvo {

FileStore::FileStore(std::filesystem::path folder, Runtime& runtime, SerialQueue& queue)
    : folder_(std::move(folder)), runtime_(runtime), queue_(queue) {}

std::optional<std::string> FileStore::read(const std::string& name) {
  auto text = files::readFile(folder_ / name);
  MutexLock guard(mutex_);
  known_[name] = text;
  return text;
}

void FileStore::write(const std::string& name, std::string content, Merge merge) {
  queue_.post([this, name, content = std::move(content), merge = std::move(merge)]() mutable {
    writeNow(name, std::move(content), merge);
  });
}

void FileStore::writeNow(const std::string& name, std::string content, const Merge& merge) {
  const auto path = folder_ / name;
  // Another copy's read, change and write of the same file must not fall
  // between our read and our rename, or one of the two changes is lost.
  files::FolderLock others(folder_);
  auto onDisk = files::readFile(path);
  bool changed;
  {
    MutexLock guard(mutex_);
    auto known = known_.find(name);
    changed = onDisk && (known == known_.end() || known->second != onDisk);
  }
  if (changed && merge) content = merge(content, *onDisk);
  if (!files::writeFileAtomically(path, content)) return;  // the old file stays whole
  MutexLock guard(mutex_);
  known_[name] = std::move(content);
}

bool FileStore::flush(double seconds) {
  auto done = runtime_.makeSemaphore();
  queue_.post([done] { done->signal(); });
  return done->wait(seconds);
}

}  // namespace orvo
