#include "platform/real-time-priority.h"

#include <sched.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

#include <cstring>

namespace orvo {

std::optional<std::string> raiseToRealTime(pthread_t thread) {
  sched_param param{};
  param.sched_priority = sched_get_priority_min(SCHED_FIFO);
  const int error = pthread_setschedparam(thread, SCHED_FIFO, &param);
  if (error == 0) return std::nullopt;
  return std::string(std::strerror(error));
}

void touchStack() {
  constexpr std::size_t kBytes = 64 * 1024;
  char pages[kBytes];
  volatile char* touch = pages;  // writes the compiler may not drop
  for (std::size_t at = 0; at < kBytes; at += 4096) touch[at] = 0;
}

std::optional<std::string> lockMemory() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_MEMLOCK, &limit) != 0) return std::string(std::strerror(errno));
  if (limit.rlim_cur != RLIM_INFINITY && ::geteuid() != 0)
    return "the locked-memory limit is " + std::to_string(limit.rlim_cur / 1024) + " KB";
  // Pages are locked as they are first touched, so reserved stacks and buffers
  // are not filled in at once.
  if (::mlockall(MCL_CURRENT | MCL_FUTURE | MCL_ONFAULT) != 0)
    return std::string(std::strerror(errno));
  return std::nullopt;
}

}  // namespace orvo
