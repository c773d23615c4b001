#pragma once
// The wall clock as people read it: local time broken down, and formatted
// with strftime's codes. The clock is handed in, so the engine's tests choose
// the time; `localTimeText` reads the system clock, for log lines. Any thread.

#include <ctime>
#include <string>

namespace orvo {

// Seconds since 1970 as local time.
std::tm localTm(double wallSeconds);
std::string formatLocalTime(const std::tm& local, const char* format);
// The system clock now: "yyyy-MM-dd HH:mm:ss", or "HH:mm:ss" without the date.
std::string localTimeText(bool withDate = true);

}  // namespace orvo
