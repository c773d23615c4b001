#include "platform/real-time-priority.h"

#include <sched.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

#include <cstring>

namespace orvo {

std::optional<std::string> raiseToRealTime(pthread_t thread) {
  sched_param param{};
  param.sched_priority = sched_get_priority_min(SCHED_FIFO);
  const int error = pthread_setschedparam(thread, SCHED_FIFO, &param);
  if (error == 0) return std::nullopt;
  return std::string(std::strerror(error));
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
