// The two roads into the shutdown sequence as the service wires them: a
// "Turn off ups" schedule entry and the UPS's shutdown countdown both set
// bit 22, whose event runs the sequence on the shutdown worker, which talks
// to the service's own control channel and ends with the power-off request.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "service/actions/message_catalogue.h"
#include "service/core/service.h"
#include "service/core/service_test_support.h"
#include "service/monitor/monitor_test_support.h"
#include "shared/control_datagram.h"

namespace orvik {
namespace {

constexpr int16_t kTurnOnUps = 11;
constexpr int16_t kTurnOffUps = 21;
constexpr int16_t kOnce = 1;

class ServiceShutdownTest : public ::testing::Test {
 protected:
  void SetUp() override {
    freeCatalogue();
    fake_.system.programPathValue = folder_.file("upskeeper");
    writeMessageFiles(folder_,
                      "<22><Shutdown requested><x><>\n<25><Shutdown started><x><>\n"
                      "<125><Shutdown completed><x><>\n");
    ASSERT_EQ(service_.serviceStart(fake_.system.programPathValue), 1);
    StatusRecord& r = service_.record();
    storeField(r.systemDelay, 5);
    storeField(r.upsDelay, 60);
    storeField(r.autoSave, 1);
    storeField(r.rebootWithDuration.value, -2);
    storeField(r.startupAfterDelay.value, -2);
    for (int event : {22, 25, 125}) storeField(eventActionForEvent(r, event)->logEnable, 1);
  }
  void TearDown() override {
    service_.serviceStop();
    freeCatalogue();
  }

  void addScheduleEntry(int16_t action, int64_t at) {
    LocalTime t;
    ASSERT_TRUE(fake_.clock.toLocalTime(at, &t));
    StatusRecord& r = service_.record();
    const int16_t n = loadField(r.scheduleCount);
    r.schedule[n] = {.action = action,
                     .second = static_cast<int16_t>(t.second),
                     .minute = static_cast<int16_t>(t.minute),
                     .hour = static_cast<int16_t>(t.hour),
                     .day = static_cast<int16_t>(t.day),
                     .month = static_cast<int16_t>(t.month),
                     .year = static_cast<int16_t>(t.year),
                     .weekday = static_cast<int16_t>(t.weekday + 1),
                     .frequency = kOnce};
    storeField(r.scheduleCount, n + 1);
  }

  // Second by second: the monitor's pass, then the shutdown worker's.
  bool runUntilPowerOff(int seconds) {
    for (int i = 0; i < seconds && fake_.power.powerOffs().empty(); ++i) {
      fake_.clock.advanceMs(1000);
      runStepOnce(service_.tasks()[kMonitorTask]);
      runStepOnce(service_.tasks()[kShutdownWorker]);
    }
    return !fake_.power.powerOffs().empty();
  }

  // The event numbers of the event log's lines, in order.
  std::vector<std::string> loggedEvents() {
    std::vector<std::string> out;
    std::istringstream log(folder_.read("kestrel.log"));
    for (std::string line; std::getline(log, line);) out.push_back(line.substr(0, 3));
    return out;
  }

  // The road from bit 22 to the power-off, the same whoever set the bit.
  void runsTheWholeSequence(bool bySchedule) {
    const int64_t now = fake_.clock.calendarSeconds();
    addScheduleEntry(kTurnOnUps, now + 3600);
    if (bySchedule) {
      addScheduleEntry(kTurnOffUps, now + 2);
    } else {
      storeField(service_.record().shutdownAfterDelay.value, 2);
    }
    ASSERT_TRUE(runUntilPowerOff(60));
    const int64_t sequenceEnd = fake_.clock.calendarSeconds();

    EXPECT_EQ(service_.pollingStopped.load(), 1);
    const auto events = loggedEvents();
    std::vector<std::string> shutdownEvents;
    for (const std::string& e : events) {
      if (e == "022" || e == "025" || e == "125") shutdownEvents.push_back(e);
    }
    EXPECT_EQ(shutdownEvents, (std::vector<std::string>{"022", "025", "125"}));
    const auto starts = fake_.processes.starts();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].commandLine, "\"" + folder_.directory() + "winsweep\"");

    // The UPS commands reach the poll task's ring through the control port:
    // back on at the "Turn on ups" time, off after upsDelay.
    std::vector<UpsCommand> commands;
    ASSERT_TRUE(eventually([&] {
      UpsCommand c;
      while (service_.control().upsCommandQueue().takeUpsCommand(&c)) commands.push_back(c);
      return commands.size() >= 2;
    }));
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].command, 387u);
    EXPECT_NEAR(commands[0].argument, now + 3600 - sequenceEnd - 60, 6);
    EXPECT_EQ(commands[1].command, 386u);
    EXPECT_EQ(commands[1].argument, 60);
  }

  ScratchFolder folder_;
  FakePlatform fake_;
  Service service_{fake_.platform()};
};

TEST_F(ServiceShutdownTest, TurnOffUpsScheduleEntryRunsTheWholeSequence) {
  runsTheWholeSequence(true);
}

TEST_F(ServiceShutdownTest, UpsShutdownCountdownRunsTheWholeSequence) {
  runsTheWholeSequence(false);
}

}  // namespace
}  // namespace orvik
