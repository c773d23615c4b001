#pragma once
// The wall clock as people read it, for log lines: local time
// "yyyy-MM-dd HH:mm:ss", or "HH:mm:ss" without the date. Any thread.

#include <string>

namespace orvo {

std::string localTimeText(bool withDate = true);

}  // namespace orvo
