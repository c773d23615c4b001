#include "core/log.h"

#include <ctime>

#include "platform/files.h"

namespace orvo {

std::string Log::localTime(bool withDate) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, withDate ? "%Y-%m-%d %H:%M:%S" : "%H:%M:%S", &local);
  return buffer;
}

void Log::logLine(const std::string& text) {
  std::string line = localTime() + "  " + text + "\n";
  std::lock_guard guard(mutex_);
  files::appendToFile(file_, line);
}

}  // namespace orvo
