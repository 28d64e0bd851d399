#include "service/core/tray_icon.h"

#include "shared/status_record.h"

namespace orvik {

int trayIconFor(uint32_t alarmFlags) {
  return alarmFlags == (uint32_t{1} << kServiceRunningBit) ? kTrayIconNormal : kTrayIconAlarm;
}

TrayIcon::TrayIcon(TrayShell& shell, Clock& clock, std::function<int()> selectIcon, bool hasTray)
    : shell_(shell), clock_(clock), selectIcon_(std::move(selectIcon)), hasTray_(hasTray) {}

TrayIcon::~TrayIcon() {
  if (thread_.joinable()) {
    stop_ = true;
    wakeup_.raise();
    thread_.join();
  }
}

void TrayIcon::start() {
  if (!hasTray_ || thread_.joinable()) return;
  thread_ = std::thread([this] { run(); });
}

void TrayIcon::run() {
  while (!stop_) {
    refresh();
    // A stop ends the pause at once, so the window's close is not held up.
    clock_.sleepUnlessWoken(wakeup_, kTrayRefreshMs);
  }
  ended_ = true;
}

void TrayIcon::refresh() {
  if (!hasTray_) return;
  const int icon = selectIcon_();
  if (!added_) {
    // The end of a session clears `added`, but a cancelled logoff leaves the
    // icon in place, and the shell refuses to add it twice. An icon that
    // takes a change is there; one that does not is added again next time.
    added_ = shell_.add(icon) || shell_.modify(icon);
  } else if (icon != lastIcon_) {
    shell_.modify(icon);
  }
  lastIcon_ = icon;
}

void TrayIcon::remove() {
  if (!hasTray_) return;
  if (thread_.joinable()) {
    stop_ = true;
    wakeup_.raise();
    const int64_t start = clock_.monotonicMs();
    while (!ended_ && clock_.monotonicMs() - start < kTrayRemoveWaitMs) clock_.sleepMs(1);
    // A shell call that hangs keeps its thread; the icon goes all the same.
    if (ended_) {
      thread_.join();
    } else {
      thread_.detach();
    }
  }
  shell_.remove();
  added_ = false;
}

}  // namespace orvik
