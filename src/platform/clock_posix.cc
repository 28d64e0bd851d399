#include <sched.h>
#include <time.h>

#include <cerrno>

#include "platform/calendar_parts.h"
#include "platform/posix_backends.h"

namespace orvik {
namespace {

int64_t monotonicNowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

class PosixClock final : public Clock {
 public:
  PosixClock() : startMs_(monotonicNowMs()) { tzset(); }

  int64_t monotonicMs() override { return monotonicNowMs() - startMs_; }

  int64_t calendarSeconds() override { return static_cast<int64_t>(time(nullptr)); }

  bool toLocalTime(int64_t seconds, LocalTime* out) override {
    time_t t = static_cast<time_t>(seconds);
    tm parts{};
    if (localtime_r(&t, &parts) == nullptr) return false;
    *out = localTimeFromParts(parts);
    return true;
  }

  bool fromLocalTime(const LocalTime& local, int64_t* seconds) override {
    tm parts = partsFromLocalTime(local);
    errno = 0;
    time_t t = mktime(&parts);
    if (t == static_cast<time_t>(-1) && errno != 0) return false;
    *seconds = static_cast<int64_t>(t);
    return true;
  }

  void sleepMs(int64_t ms) override {
    if (ms <= 0) return;
    timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>((ms % 1000) * 1000000)};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
  }

  void sleepUnlessWoken(Wakeup& wakeup, int64_t ms) override { wakeup.waitMs(ms); }

  void yield() override { sched_yield(); }

 private:
  const int64_t startMs_;
};

}  // namespace

Clock& posixClock() {
  static PosixClock clock;
  return clock;
}

}  // namespace orvik
