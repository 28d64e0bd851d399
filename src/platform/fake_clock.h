// A clock for tests: time stands still until somebody sleeps, and a sleep
// advances it at once. Safe to share between threads; each sleep moves the
// common time forward, so concurrent sleepers only make time pass faster.
// Local time is UTC plus a settable offset, and one hour more within a
// settable summer-time span, so tests do not depend on the machine's zone.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "platform/clock.h"

namespace orvik {

class FakeClock final : public Clock {
 public:
  explicit FakeClock(int64_t calendarStart = 1'700'000'000) : calendar_(calendarStart) {}

  int64_t monotonicMs() override { return monotonic_.load(); }
  int64_t calendarSeconds() override { return calendar_.load() + monotonic_.load() / 1000; }
  bool toLocalTime(int64_t seconds, LocalTime* out) override;
  bool fromLocalTime(const LocalTime& local, int64_t* seconds) override;
  void sleepMs(int64_t ms) override;
  // A raised wakeup returns at once; otherwise the whole time passes, as a
  // sleep.
  void sleepUnlessWoken(Wakeup& wakeup, int64_t ms) override;
  void yield() override;

  // Moves time forward without anybody sleeping.
  void advanceMs(int64_t ms) { monotonic_ += ms; }
  // Sets the wall clock (monotonic time is untouched), as an operator would.
  void setCalendarSeconds(int64_t seconds) { calendar_ = seconds - monotonic_.load() / 1000; }
  void setUtcOffsetSeconds(int64_t offset) { utcOffset_ = offset; }
  // Summer time from startUtc up to endUtc (calendar seconds). As mktime
  // does, fromLocalTime reads a local time with isDst > 0 as summer time and
  // with 0 as standard time whatever the date, and decides itself for < 0.
  void setSummerTime(int64_t startUtc, int64_t endUtc) {
    summerStart_ = startUtc;
    summerEnd_ = endUtc;
  }
  int64_t sleptMs() const { return slept_.load(); }

  // Runs at the start of every sleep with its length, on the sleeper's
  // thread: a test's way to look at what code has done before it waits. Set
  // it before the sleepers start.
  std::function<void(int64_t ms)> beforeSleep;

 private:
  std::atomic<int64_t> monotonic_{0};
  std::atomic<int64_t> calendar_;
  std::atomic<int64_t> utcOffset_{0};
  std::atomic<int64_t> slept_{0};
  std::atomic<int64_t> summerStart_{0};
  std::atomic<int64_t> summerEnd_{0};
};

}  // namespace orvik
