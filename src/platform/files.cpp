#include "platform/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace orvo::files {
namespace {

bool writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

thread_local int writesHere = 0;

}  // namespace

int writesOnThisThread() {
  return writesHere;
}

bool writeFileAtomically(const std::filesystem::path& path, const std::string& content) {
  static std::atomic<unsigned> counter{0};
  ++writesHere;
  std::filesystem::path temp = path;
  temp += ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter++);
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = writeAll(fd, content.data(), content.size()) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // Make the rename itself durable.
  std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
  int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

std::optional<std::string> readFile(const std::filesystem::path& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string content;
  char buffer[8192];
  for (;;) {
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return std::nullopt;
    }
    if (got == 0) break;
    content.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return content;
}

bool appendToFile(const std::filesystem::path& path, const std::string& text) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  ++writesHere;
  bool ok = writeAll(fd, text.data(), text.size());
  ::close(fd);
  return ok;
}

bool makeFolders(const std::filesystem::path& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  return !error && std::filesystem::is_directory(path, error);
}

std::string trim(const std::string& text) {
  const char* space = " \t\r\n";
  auto first = text.find_first_not_of(space);
  if (first == std::string::npos) return "";
  auto last = text.find_last_not_of(space);
  return text.substr(first, last - first + 1);
}

FolderLock::FolderLock(const std::filesystem::path& folder) {
  fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) return;
  int rc;
  do {
    rc = ::flock(fd_, LOCK_EX);
  } while (rc != 0 && errno == EINTR);
  held_ = rc == 0;
}

FolderLock::~FolderLock() {
  if (fd_ >= 0) ::close(fd_);  // closing lets the lock go
}

}  // namespace orvo::files
