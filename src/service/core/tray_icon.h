// The notification-area icon of the service's main window: which icon shows
// the state of the power, and the refresh thread that keeps it there.
//
// Threads: start, remove and forget run on the window thread; refresh runs
// on the icon's own thread (and in tests on theirs). `added` is written by
// both without a lock, as a single atomic word.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "platform/clock.h"
#include "platform/wakeup.h"

namespace orvik {

inline constexpr int kTrayIconNormal = 130;
inline constexpr int kTrayIconAlarm = 131;
inline constexpr int kTrayIconId = 129;
inline constexpr int64_t kTrayRefreshMs = 5000;
inline constexpr int64_t kTrayRemoveWaitMs = 2000;

// Icon 130 only while nothing but "service running" is set.
int trayIconFor(uint32_t alarmFlags);

// The shell's notification area as the icon needs it; icons by resource number.
class TrayShell {
 public:
  virtual ~TrayShell() = default;
  virtual bool add(int icon) = 0;
  virtual bool modify(int icon) = 0;
  virtual void remove() = 0;
};

class TrayIcon {
 public:
  // hasTray false (NT 3.x) makes every operation a no-op.
  TrayIcon(TrayShell& shell, Clock& clock, std::function<int()> selectIcon, bool hasTray);
  ~TrayIcon();

  // Starts the refresh thread: a refresh now and every 5 s after.
  void start();
  // One pass: adds the icon when it is not known to be there (an add the
  // shell refuses counts when a change of the icon succeeds; otherwise the
  // next pass tries again), or changes it when the selected icon differs
  // from the one last handed to the shell.
  void refresh();
  // Stops the refresh thread, waiting at most 2 s for it, and deletes the
  // icon from the notification area.
  void remove();
  // The session ended and may have taken the icon with it: the next refresh
  // adds it, or finds it still there.
  void forget() { added_ = false; }

  bool added() const { return added_; }

 private:
  void run();

  TrayShell& shell_;
  Clock& clock_;
  const std::function<int()> selectIcon_;
  const bool hasTray_;
  std::atomic<bool> added_{false};
  std::atomic<bool> stop_{false};
  std::atomic<bool> ended_{false};
  int lastIcon_ = 0;  // refresh thread only
  Wakeup wakeup_;
  std::thread thread_;
};

}  // namespace orvik
