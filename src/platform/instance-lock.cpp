#include "platform/instance-lock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdint>

#include "platform/files.h"

namespace orvo::instance {

int openLock(const std::filesystem::path& path) {
  return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
}

std::optional<pid_t> holderToSignal(const std::string& text, pid_t self) {
  std::string trimmed = files::trim(text);
  std::int32_t value = 0;
  auto [end, error] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
  if (error != std::errc() || end != trimmed.data() + trimmed.size() || trimmed.empty()) {
    return std::nullopt;
  }
  if (value < 2 || value == self) return std::nullopt;
  return static_cast<pid_t>(value);
}

int signalForAttempt(int attempt) {
  return attempt < 29 ? SIGTERM : SIGKILL;
}

void becomeOnlyCopy(int fd, const std::function<void(double seconds)>& sleep) {
  int attempt = 0;
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) return;  // locking unsupported: carry on
    char buffer[32] = {};
    ssize_t got = ::pread(fd, buffer, 31, 0);
    if (got > 0) {
      if (auto holder =
              holderToSignal(std::string(buffer, static_cast<std::size_t>(got)), ::getpid())) {
        ::kill(*holder, signalForAttempt(attempt));
      }
    }
    ++attempt;
    sleep(0.1);
  }
  std::string id = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd, 0) == 0) {
    [[maybe_unused]] ssize_t written = ::pwrite(fd, id.data(), id.size(), 0);
  }
}

}  // namespace orvo::instance
