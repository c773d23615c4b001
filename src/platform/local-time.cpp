#include "platform/local-time.h"

#include <chrono>

namespace orvo {

std::tm localTm(double wallSeconds) {
  const auto when = static_cast<std::time_t>(wallSeconds);
  std::tm local{};
  localtime_r(&when, &local);
  return local;
}

std::string formatLocalTime(const std::tm& local, const char* format) {
  char text[96];
  if (std::strftime(text, sizeof text, format, &local) == 0) return "";
  return text;
}

std::string localTimeText(bool withDate) {
  const double now =
      std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  return formatLocalTime(localTm(now), withDate ? "%Y-%m-%d %H:%M:%S" : "%H:%M:%S");
}

}  // namespace orvo
