#include "service/actions/execute_action.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/fake_clock.h"
#include "platform/fake_processes.h"
#include "service/actions/run_program.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

TEST(ExecuteAction, WorkerWaitsSystemDelayForTheCommandOfEvent25Only) {
  constexpr int64_t kForever = FakeProcessStarter::kRunsForever;
  constexpr int64_t kMissing = FakeProcessStarter::kCannotStart;
  const struct {
    const char* name;
    int event;
    int16_t systemDelay;
    int64_t commandRunsMs;
    int64_t heldMs;  // how long the worker is held
  } cases[] = {
      {"event 1, long command: looks once", 1, 20, kForever, 10},
      {"event 101, quick command", 101, 20, 0, 10},
      {"event 25, command longer than the delay", 25, 20, kForever, 20000},
      {"event 25, command that ends at 3 s", 25, 20, 3000, 3000},
      {"event 25, delay 0", 25, 0, kForever, 10},
      {"event 25, negative delay: no endless wait", 25, -1, kForever, 10},
      {"command that cannot start costs nothing", 25, 20, kMissing, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto record = std::make_unique<StatusRecord>();
    FakeClock clock;
    FakeProcessStarter processes(clock);
    processes.runTimeMs = [&c](const std::string&) { return c.commandRunsMs; };
    ExecuteAction action(*record, clock, processes);
    storeField(record->systemDelay, c.systemDelay);
    EventAction& entry = *eventActionForEvent(*record, c.event);
    setText(entry.executeCommand, "\"C:\\Tools\\notify.exe\" /event a;b");
    action.runAction(entry, {0, c.event});
    EXPECT_EQ(clock.monotonicMs(), c.heldMs);
    const auto starts = processes.starts();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].commandLine, "\"C:\\Tools\\notify.exe\" /event a;b");
    EXPECT_TRUE(starts[0].show);
  }
}

TEST(RunProgram, ReturnsTheProcessIdOnceEndedOrWaitedOutAndZeroWhenNotStarted) {
  FakeClock clock;
  FakeProcessStarter processes(clock);
  int64_t runs = 90000;
  processes.runTimeMs = [&runs](const std::string&) { return runs; };
  EXPECT_GT(runProgram(processes, clock, "p", 0, kWaitForEnd), 0);
  EXPECT_EQ(clock.monotonicMs(), 90000) << "-1 waits until the end";
  EXPECT_GT(runProgram(processes, clock, "p", 0, 500), 0);
  EXPECT_EQ(clock.monotonicMs(), 90500);
  runs = FakeProcessStarter::kCannotStart;
  EXPECT_EQ(runProgram(processes, clock, "p", 0, kWaitForEnd), 0);
  EXPECT_EQ(clock.monotonicMs(), 90500);
}

}  // namespace
}  // namespace orvik
