#include "app/log.h"

#include "platform/files.h"
#include "platform/local-time.h"

namespace orvo {

std::string Log::localTime(bool withDate) {
  return localTimeText(withDate);
}

void Log::logLine(const std::string& text) {
  std::string line = localTime() + "  " + text + "\n";
  std::lock_guard guard(mutex_);
  files::appendToFile(file_, line);
}

}  // namespace orvo
