#include "platform/fake_clock.h"

#include <thread>

namespace orvik {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t z, int64_t* y, int* m, int* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = yoe + era * 400 + (*m <= 2);
}

int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

bool FakeClock::toLocalTime(int64_t seconds, LocalTime* out) {
  const bool summer = seconds >= summerStart_.load() && seconds < summerEnd_.load();
  const int64_t local = seconds + utcOffset_.load() + (summer ? 3600 : 0);
  const int64_t days = floorDiv(local, 86400);
  const int64_t rest = local - days * 86400;
  int64_t year = 0;
  civilFromDays(days, &year, &out->month, &out->day);
  out->year = static_cast<int>(year);
  out->hour = static_cast<int>(rest / 3600);
  out->minute = static_cast<int>(rest / 60 % 60);
  out->second = static_cast<int>(rest % 60);
  out->weekday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  out->yearDay = static_cast<int>(days - daysFromCivil(year, 1, 1));
  out->isDst = summer ? 1 : 0;
  return true;
}

bool FakeClock::fromLocalTime(const LocalTime& local, int64_t* seconds) {
  // Normalise the month first, as mktime does; days, hours and so on carry by arithmetic.
  int64_t month0 = local.month - 1;
  const int64_t year = local.year + floorDiv(month0, 12);
  month0 -= floorDiv(month0, 12) * 12;
  const int64_t days = daysFromCivil(year, month0 + 1, 1) + local.day - 1;
  const int64_t standard = days * 86400 + int64_t{local.hour} * 3600 + int64_t{local.minute} * 60 +
                           local.second - utcOffset_.load();
  const int64_t summer = standard - 3600;
  const bool isSummer = local.isDst > 0 || (local.isDst < 0 && summer >= summerStart_.load() &&
                                            summer < summerEnd_.load());
  *seconds = isSummer ? summer : standard;
  return true;
}

void FakeClock::sleepMs(int64_t ms) {
  if (beforeSleep) beforeSleep(ms);
  if (ms > 0) {
    monotonic_ += ms;
    slept_ += ms;
  }
  // Let other threads run, as a real sleep would.
  std::this_thread::yield();
}

void FakeClock::sleepUnlessWoken(Wakeup& wakeup, int64_t ms) {
  if (wakeup.take()) {
    std::this_thread::yield();
    return;
  }
  sleepMs(ms);
}

void FakeClock::yield() { std::this_thread::yield(); }

}  // namespace orvik
