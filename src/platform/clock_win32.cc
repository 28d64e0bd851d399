#include <windows.h>

#include <ctime>

#include "platform/calendar_parts.h"
#include "platform/win32_backends.h"

namespace orvik {
namespace {

// The 64-bit tick count does not wrap; the stored 32-bit process clock is
// cut from it (Clock::processClock).
class Win32Clock final : public Clock {
 public:
  // The runtime's time-zone data, so that local time follows the system's zone.
  Win32Clock() : startMs_(static_cast<int64_t>(GetTickCount64())) { _tzset(); }

  int64_t monotonicMs() override { return static_cast<int64_t>(GetTickCount64()) - startMs_; }

  int64_t calendarSeconds() override { return static_cast<int64_t>(_time64(nullptr)); }

  bool toLocalTime(int64_t seconds, LocalTime* out) override {
    const __time64_t t = seconds;
    tm parts{};
    if (_localtime64_s(&parts, &t) != 0) return false;
    *out = localTimeFromParts(parts);
    return true;
  }

  bool fromLocalTime(const LocalTime& local, int64_t* seconds) override {
    tm parts = partsFromLocalTime(local);
    const __time64_t t = _mktime64(&parts);
    if (t == -1) return false;
    *seconds = static_cast<int64_t>(t);
    return true;
  }

  // Sleep() ends up to a timer tick early; the contract says at least ms.
  void sleepMs(int64_t ms) override {
    const int64_t until = monotonicMs() + ms;
    for (int64_t rest = ms; rest > 0; rest = until - monotonicMs()) {
      Sleep(static_cast<DWORD>(rest));
    }
  }

  void sleepUnlessWoken(Wakeup& wakeup, int64_t ms) override { wakeup.waitMs(ms); }

  void yield() override { SwitchToThread(); }

 private:
  const int64_t startMs_;
};

}  // namespace

Clock& win32Clock() {
  static Win32Clock clock;
  return clock;
}

}  // namespace orvik
