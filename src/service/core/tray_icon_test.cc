#include "service/core/tray_icon.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "platform/fake_clock.h"
#include "platform/native_backends.h"
#include "service/core/window_commands.h"

namespace orvik {
namespace {

// The shell's calls as "add 130", "modify 131", "remove". Like the real
// notification area it holds at most one icon of ours: an add fails while it
// is there (or while refusing is set, a shell not yet ready), a modify while
// it is not.
class RecordingShell final : public TrayShell {
 public:
  bool add(int icon) override {
    return note("add " + std::to_string(icon), !refusing && !present.exchange(!refusing));
  }
  bool modify(int icon) override { return note("modify " + std::to_string(icon), present); }
  void remove() override { note("remove", present.exchange(false)); }
  std::vector<std::string> calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  std::atomic<bool> refusing{false};
  std::atomic<bool> present{false};

 private:
  bool note(const std::string& call, bool result) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(call);
    return result;
  }
  std::mutex mutex_;
  std::vector<std::string> calls_;
};

using Calls = std::vector<std::string>;

TEST(TrayIcon, AddsOnceThenChangesOnlyWhenTheSelectedIconDiffers) {
  RecordingShell shell;
  FakeClock clock;
  uint32_t flags = 0x01000000;
  TrayIcon tray(shell, clock, [&] { return trayIconFor(flags); }, true);
  shell.refusing = true;
  tray.refresh();  // the shell is not ready: tried again next time
  EXPECT_FALSE(tray.added());
  shell.refusing = false;
  tray.refresh();
  tray.refresh();
  flags |= 1u << 19;  // communication lost
  tray.refresh();
  tray.refresh();
  flags = 0x01000000;
  tray.refresh();
  tray.forget();
  shell.present = false;  // the session ended and took the icon along
  tray.refresh();
  EXPECT_EQ(shell.calls(), (Calls{"add 130", "modify 130", "add 130", "modify 131",
                                  "modify 130", "add 130"}));
}

// A session end that did not take the icon (a cancelled logoff): the add is
// refused, and the icon must still follow the alarms afterwards.
TEST(TrayIcon, IconLeftByACancelledSessionEndStillFollowsTheFlags) {
  RecordingShell shell;
  FakeClock clock;
  uint32_t flags = 0x01000000;
  TrayIcon tray(shell, clock, [&] { return trayIconFor(flags); }, true);
  tray.refresh();
  tray.forget();
  tray.refresh();
  EXPECT_TRUE(tray.added());
  flags |= 1u << 1;  // on battery
  tray.refresh();
  tray.refresh();
  EXPECT_EQ(shell.calls(), (Calls{"add 130", "add 130", "modify 130", "modify 131"}));
}

// On its thread the icon follows the record within one refresh period.
TEST(TrayIcon, RefreshThreadFollowsTheFlags) {
  RecordingShell shell;
  FakeClock clock;
  std::atomic<uint32_t> flags{0x01000000};
  std::atomic<int> pauses{0};
  clock.beforeSleep = [&](int64_t ms) {
    if (ms == kTrayRefreshMs && ++pauses == 2) flags = 0x01000002;
  };
  {
    TrayIcon tray(shell, clock, [&] { return trayIconFor(flags); }, true);
    tray.start();
    while (pauses < 4) clock.yield();
  }  // fake time runs on in every pause: only the owner's end joins it for certain
  EXPECT_EQ(shell.calls(), (Calls{"add 130", "modify 131"}));
}

// Closing the window must not wait out the 5 s pause of the refresh thread.
TEST(TrayIcon, RemoveEndsTheRefreshThreadAtOnce) {
  RecordingShell shell;
  Clock& clock = nativeClock();
  TrayIcon tray(shell, clock, [] { return kTrayIconNormal; }, true);
  tray.start();
  while (shell.calls().empty()) clock.sleepMs(1);
  const int64_t before = clock.monotonicMs();
  tray.remove();
  EXPECT_LT(clock.monotonicMs() - before, 1000);
  EXPECT_EQ(shell.calls(), (Calls{"add 130", "remove"}));
}

class StopRefusingPower final : public PowerControl {
 public:
  void powerOff() override {}
  int stopService(const char* name) override {
    asked.push_back(name);
    return accept;
  }
  int accept = 1;
  std::vector<std::string> asked;
};

// The service manager stops the service on NT when it will; otherwise the
// window closes itself. The 9x family never asks the manager.
TEST(WindowCommands, StopGoesThroughTheServiceManagerOnNtOnly) {
  const struct {
    int osClass;
    int managerAccepts;
    bool asked;
    bool closed;
  } cases[] = {
      {1024, 1, true, false}, {1024, 0, true, true}, {256, 1, true, false},
      {3, 1, false, true},    {0, 1, false, true},
  };
  for (const auto& c : cases) {
    StopRefusingPower power;
    power.accept = c.managerAccepts;
    bool closed = false;
    stopConfirmed(c.osClass, power, [&] { closed = true; });
    EXPECT_EQ(power.asked, c.asked ? std::vector<std::string>{"upskeeper"}
                                   : std::vector<std::string>{})
        << c.osClass;
    EXPECT_EQ(closed, c.closed) << c.osClass << " " << c.managerAccepts;
  }
  EXPECT_TRUE(sessionEndClosesService(2));
  EXPECT_FALSE(sessionEndClosesService(256));
}

}  // namespace
}  // namespace orvik
