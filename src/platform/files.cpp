#include "platform/files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

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
std::atomic<unsigned> tempCounter{0};

std::filesystem::path temporaryBeside(const std::filesystem::path& path) {
  std::filesystem::path temp = path;
  temp += ".tmp." + std::to_string(::getpid()) + "." + std::to_string(tempCounter++);
  return temp;
}

void syncFolder(const std::filesystem::path& folder) {
  int dirFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
}

// Gives `from` the name `to` unless `to` exists: 0, EEXIST, or another error.
// A hard link claims the name atomically; file systems without links get
// renameat2's no-replace rename, and failing that a check and a rename.
int claimName(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return 0;
  }
  int error = errno;
  if (error == EEXIST) return EEXIST;
  if (error != EPERM && error != ENOTSUP && error != EOPNOTSUPP && error != EMLINK) return error;
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  error = errno;
  if (error != EINVAL && error != ENOSYS) return error;
  std::error_code ignored;
  if (std::filesystem::exists(std::filesystem::symlink_status(to, ignored))) return EEXIST;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

// The names stem + extension, stem + " 2" + extension, ... tried in order.
std::optional<std::filesystem::path> claimFirstFree(const std::filesystem::path& from,
                                                    const std::filesystem::path& folder,
                                                    const std::string& stem,
                                                    const std::string& extension) {
  for (int n = 1; n <= 9999; ++n) {
    std::string name = stem + (n == 1 ? "" : " " + std::to_string(n)) + extension;
    std::filesystem::path target = folder / name;
    int error = claimName(from, target);
    if (error == 0) return target;
    if (error != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

std::string writeProblemWords(int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT:
      return "the disk is full";
    case EROFS:
    case EACCES:
    case EPERM:
      return "the data folder cannot be written";
    case ENOTDIR:
    case ENOENT:
      return "its folder is not there";
    default:
      return "the file could not be written";
  }
}

int writesOnThisThread() {
  return writesHere;
}

namespace {

// The content in a new temporary file, flushed to disk.
bool writeTemporary(const std::filesystem::path& temp, const std::string& content) {
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool ok = writeAll(fd, content.data(), content.size()) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

}  // namespace

std::optional<std::filesystem::path> writeNewFile(const std::filesystem::path& folder,
                                                  const std::string& stem,
                                                  const std::string& extension,
                                                  const std::string& content) {
  ++writesHere;
  // A short temporary name: a stem near the longest a file name may be would
  // not leave room for the temporary's suffix.
  const std::filesystem::path temp = temporaryBeside(folder / ("new" + extension));
  if (!writeTemporary(temp, content)) return std::nullopt;
  auto written = claimFirstFree(temp, folder, stem, extension);
  if (!written) {
    ::unlink(temp.c_str());
    return std::nullopt;
  }
  syncFolder(folder);
  return written;
}

std::optional<std::filesystem::path> moveToNewName(const std::filesystem::path& file,
                                                   const std::filesystem::path& folder,
                                                   const std::string& stem,
                                                   const std::string& extension) {
  if (file.parent_path() == folder && file.filename() == stem + extension) return file;
  auto moved = claimFirstFree(file, folder, stem, extension);
  if (moved) syncFolder(folder);
  return moved;
}

bool isTemporaryName(const std::string& fileName) {
  auto at = fileName.rfind(".tmp.");
  if (at == std::string::npos) return false;
  return fileName.find_first_not_of("0123456789.", at + 5) == std::string::npos;
}

bool writeFileAtomically(const std::filesystem::path& path, const std::string& content,
                         mode_t mode) {
  ++writesHere;
  std::filesystem::path temp = temporaryBeside(path);
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) return false;
  // The umask may have taken bits away, never added: the mode is set outright.
  bool ok = ::fchmod(fd, mode) == 0;
  ok = ok && writeAll(fd, content.data(), content.size()) && ::fsync(fd) == 0;
  int error = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    errno = error;
    return false;
  }
  syncFolder(path.parent_path());  // makes the rename itself durable
  return true;
}

std::optional<std::string> readFile(const std::filesystem::path& path, std::size_t limit) {
  // Non-blocking, so a FIFO in a file's place is never waited on; then refused.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<std::size_t>(info.st_size) > limit) {
    ::close(fd);
    errno = EINVAL;
    return std::nullopt;
  }
  std::string content;
  char buffer[8192];
  for (;;) {
    if (content.size() > limit) {
      ::close(fd);
      errno = EFBIG;
      return std::nullopt;
    }
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
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0600);
  if (fd < 0) return false;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return false;
  }
  ++writesHere;
  bool ok = writeAll(fd, text.data(), text.size());
  ::close(fd);
  return ok;
}

bool makePrivateFolder(const std::filesystem::path& path) {
  if (!makeFolders(path.parent_path().empty() ? "." : path.parent_path())) return false;
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
  // Someone else's folder, or one others may write into, is never trusted.
  if (info.st_uid != ::geteuid()) return false;
  if ((info.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0) return false;
  return true;
}

int removeStaleTemporaries(const std::filesystem::path& folder) {
  int removed = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (!isTemporaryName(name)) continue;
    const std::string pidText = name.substr(name.rfind(".tmp.") + 5);
    const pid_t pid = static_cast<pid_t>(std::atol(pidText.substr(0, pidText.find('.')).c_str()));
    // A temporary of a running writer (this copy, or another) is still being written.
    if (pid == ::getpid() || (pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM))) continue;
    std::error_code ignored;
    if (std::filesystem::remove(entry.path(), ignored)) ++removed;
  }
  return removed;
}

std::optional<std::uint64_t> freeSpace(const std::filesystem::path& path) {
  struct statvfs disk {};
  if (::statvfs(path.c_str(), &disk) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(disk.f_bavail) * disk.f_frsize;
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
