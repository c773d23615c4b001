#include "platform/local-time.h"

#include <ctime>

namespace orvo {

std::string localTimeText(bool withDate) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, withDate ? "%Y-%m-%d %H:%M:%S" : "%H:%M:%S", &local);
  return buffer;
}

}  // namespace orvo
