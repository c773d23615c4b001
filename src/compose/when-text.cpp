#include "compose/when-text.h"

#include <array>
#include <cmath>
#include <ctime>

#include "platform/local-time.h"

namespace orvo {

namespace {

// The local calendar day of a moment, as a day count that subtracts.
bool localDay(double at, std::tm& out, long& dayNumber) {
  if (!std::isfinite(at) || std::fabs(at) > 1e12) return false;
  out = localTm(at);
  std::tm noon = out;
  noon.tm_hour = 12;
  noon.tm_min = noon.tm_sec = 0;
  noon.tm_isdst = -1;
  std::time_t dayStart = timegm(&noon);
  dayNumber = static_cast<long>(dayStart / 86400);
  return true;
}

const std::array<const char*, 31> kOrdinals = {
    "first",        "second",         "third",         "fourth",        "fifth",
    "sixth",        "seventh",        "eighth",        "ninth",         "tenth",
    "eleventh",     "twelfth",        "thirteenth",    "fourteenth",    "fifteenth",
    "sixteenth",    "seventeenth",    "eighteenth",    "nineteenth",    "twentieth",
    "twenty-first", "twenty-second",  "twenty-third",  "twenty-fourth", "twenty-fifth",
    "twenty-sixth", "twenty-seventh", "twenty-eighth", "twenty-ninth",  "thirtieth",
    "thirty-first"};
const std::array<const char*, 12> kMonths = {"January",   "February", "March",    "April",
                                             "May",       "June",     "July",     "August",
                                             "September", "October",  "November", "December"};
const std::array<const char*, 7> kDays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};

}  // namespace

std::string whenText(double savedAt, double now) {
  std::tm saved{}, today{};
  long savedDay = 0, todayDay = 0;
  if (!localDay(savedAt, saved, savedDay) || !localDay(now, today, todayDay))
    return "some time ago";
  const long daysAgo = todayDay - savedDay;
  if (daysAgo <= 0) return "earlier today";
  if (daysAgo == 1) return "yesterday";
  if (daysAgo <= 6) return std::string("on ") + kDays[static_cast<std::size_t>(saved.tm_wday)];
  return std::string("on the ") + kOrdinals[static_cast<std::size_t>(saved.tm_mday - 1)] + " of " +
         kMonths[static_cast<std::size_t>(saved.tm_mon)];
}

}  // namespace orvo

namespace orvo {

std::string weekdayName(double secondsSince1970) {
  std::tm local{};
  long day = 0;
  if (!localDay(secondsSince1970, local, day)) return "some day";
  return kDays[static_cast<std::size_t>(local.tm_wday)];
}

}  // namespace orvo
