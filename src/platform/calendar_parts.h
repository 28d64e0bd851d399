// LocalTime to and from the C library's broken-down time, for the clock
// backends; which local-time functions fill or read it is theirs.
#pragma once

#include <ctime>

#include "platform/clock.h"

namespace orvik {

inline LocalTime localTimeFromParts(const std::tm& parts) {
  LocalTime local;
  local.year = parts.tm_year + 1900;
  local.month = parts.tm_mon + 1;
  local.day = parts.tm_mday;
  local.hour = parts.tm_hour;
  local.minute = parts.tm_min;
  local.second = parts.tm_sec;
  local.weekday = parts.tm_wday;
  local.yearDay = parts.tm_yday;
  local.isDst = parts.tm_isdst;
  return local;
}

// The fields mktime reads; the weekday and day of the year it works out.
inline std::tm partsFromLocalTime(const LocalTime& local) {
  std::tm parts{};
  parts.tm_year = local.year - 1900;
  parts.tm_mon = local.month - 1;
  parts.tm_mday = local.day;
  parts.tm_hour = local.hour;
  parts.tm_min = local.minute;
  parts.tm_sec = local.second;
  parts.tm_isdst = local.isDst;
  return parts;
}

}  // namespace orvik
