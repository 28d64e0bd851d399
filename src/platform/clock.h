// Time as the system sees it: a monotonic millisecond clock, calendar seconds,
// local-time conversion, and sleeping. Every periodic or timed part of the
// service reads time only through this interface, so tests can run minutes of
// service time on a fake clock in microseconds.
#pragma once

#include <cstdint>

#include "platform/wakeup.h"

namespace orvik {

// Broken-down local time with struct tm's ranges, except month (1 to 12) and
// year (the full year).
struct LocalTime {
  int year = 1970;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int weekday = 0;   // 0 = Sunday
  int yearDay = 0;   // 0 = 1 January
  int isDst = -1;    // > 0 summer time, 0 not, < 0 unknown (let the zone decide)
};

class Clock {
 public:
  virtual ~Clock() = default;

  // Milliseconds since the process started; never goes backwards.
  virtual int64_t monotonicMs() = 0;
  // Seconds since 1970-01-01 UTC; may jump when somebody sets the clock.
  virtual int64_t calendarSeconds() = 0;
  // localtime(): false when the value cannot be converted.
  virtual bool toLocalTime(int64_t calendarSeconds, LocalTime* out) = 0;
  // mktime(): normalises out-of-range fields; false when not representable.
  virtual bool fromLocalTime(const LocalTime& local, int64_t* calendarSeconds) = 0;
  virtual void sleepMs(int64_t ms) = 0;
  // Sleeps ms, or less when the wakeup is raised meanwhile (then clears it).
  virtual void sleepUnlessWoken(Wakeup& wakeup, int64_t ms) = 0;
  // Gives up the rest of the time slice.
  virtual void yield() = 0;

  // The 32-bit "process clock" that stored values and old formulas use; it
  // wraps after 24.8 days, so deadlines are kept in monotonicMs() instead.
  int32_t processClock() { return static_cast<int32_t>(static_cast<uint32_t>(monotonicMs())); }
};

}  // namespace orvik
