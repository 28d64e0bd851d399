#include "service/actions/execute_action.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/fake_clock.h"
#include "platform/fake_processes.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

TEST(ExecuteAction, WorkerWaitsUpToSystemDelayForTheCommandOfEvent25Only) {
  constexpr int64_t kForever = FakeProcessStarter::kRunsForever;
  const struct {
    int event;
    int16_t systemDelay;
    int64_t commandRunsMs;
    int64_t heldMs;  // how long the worker is held
  } cases[] = {
      {1, 20, kForever, 10},
      {101, 20, 0, 10},
      {25, 20, kForever, 20000},
      {25, 20, 3000, 3000},
      {25, 0, kForever, 10},
      {25, -1, kForever, 10},
      {25, 20, FakeProcessStarter::kCannotStart, 0},
  };
  for (const auto& c : cases) {
    auto record = std::make_unique<StatusRecord>();
    FakeClock clock;
    FakeProcessStarter processes(clock);
    processes.runTimeMs = [&c](const std::string&) { return c.commandRunsMs; };
    storeField(record->systemDelay, c.systemDelay);
    EventAction& entry = *eventActionForEvent(*record, c.event);
    setText(entry.executeCommand, "\"C:\\Tools\\notify.exe\" a;b");
    ExecuteAction(*record, clock, processes).runAction(entry, {0, c.event});
    EXPECT_EQ(clock.monotonicMs(), c.heldMs) << c.event << " " << c.systemDelay;
    EXPECT_EQ(processes.starts(),
              (std::vector<std::pair<std::string, bool>>{{"\"C:\\Tools\\notify.exe\" a;b", true}}));
  }
}

}  // namespace
}  // namespace orvik
