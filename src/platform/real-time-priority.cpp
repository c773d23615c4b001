#include "platform/real-time-priority.h"

#include <sched.h>

#include <cstring>

namespace orvo {

std::optional<std::string> raiseToRealTime(pthread_t thread) {
  sched_param param{};
  param.sched_priority = sched_get_priority_min(SCHED_FIFO);
  const int error = pthread_setschedparam(thread, SCHED_FIFO, &param);
  if (error == 0) return std::nullopt;
  return std::string(std::strerror(error));
}

}  // namespace orvo
