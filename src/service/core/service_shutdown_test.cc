// The two roads into the shutdown sequence as the service wires them: a
// "Turn off ups" schedule entry and the UPS's shutdown countdown both set
// bit 22, whose event runs the sequence on the shutdown worker; it logs
// events 25 and 125, sends its UPS commands to the service's own control
// port and ends with the power-off request.
#include <gtest/gtest.h>

#include "service/core/service.h"
#include "service/core/service_test_support.h"

namespace orvik {
namespace {

class ServiceShutdownTest : public ::testing::Test, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    freeCatalogue();
    fake_.system.programPathValue = folder_.file("upskeeper");
    writeMessageFiles(folder_, "<22><a><x><>\n<25><b><x><>\n<125><c><x><>\n");
    ASSERT_EQ(service_.serviceStart(fake_.system.programPathValue), 1);
  }
  void TearDown() override {
    service_.serviceStop();
    freeCatalogue();
  }
  // A schedule entry for `at`, once.
  void schedule(int16_t action, int64_t at) {
    LocalTime t;
    fake_.clock.toLocalTime(at, &t);
    StatusRecord& r = service_.record();
    const int16_t n = loadField(r.scheduleCount);
    r.schedule[n] = {action,          int16_t(t.second),      int16_t(t.minute),
                     int16_t(t.hour), int16_t(t.day),         int16_t(t.month),
                     int16_t(t.year), int16_t(t.weekday + 1), 1};
    storeField(r.scheduleCount, n + 1);
  }

  ScratchFolder folder_;
  FakePlatform fake_;
  Service service_{fake_.platform()};
};

TEST_P(ServiceShutdownTest, Bit22FromTheScheduleOrTheUpsCountdownRunsTheWholeSequence) {
  StatusRecord& r = service_.record();
  storeField(r.systemDelay, 5);
  storeField(r.upsDelay, 60);
  for (int event : {22, 25, 125}) storeField(eventActionForEvent(r, event)->logEnable, 1);
  const int64_t start = fake_.clock.calendarSeconds();
  schedule(11, start + 3600);  // "Turn on ups" in an hour
  if (GetParam()) {
    schedule(21, start + 2);  // "Turn off ups"
  } else {
    storeField(r.shutdownAfterDelay.value, 2);
  }
  // Second by second: the monitor's pass, then the shutdown worker's.
  for (int i = 0; i < 60 && fake_.power.powerOffs().empty(); ++i) {
    fake_.clock.advanceMs(1000);
    runStepOnce(service_.tasks()[kMonitorTask]);
    runStepOnce(service_.tasks()[kShutdownWorker]);
  }
  ASSERT_EQ(fake_.power.powerOffs().size(), 1u);
  const int64_t end = fake_.clock.calendarSeconds();
  EXPECT_EQ(service_.pollingStopped.load(), 1);
  std::string events;
  const std::string log = folder_.read("kestrel.log");
  for (std::size_t at = 0; at < log.size(); at = log.find('\n', at) + 1) {
    if (const std::string e = log.substr(at, 3); e == "022" || e == "025" || e == "125") {
      events += e + " ";
    }
  }
  EXPECT_EQ(events, "022 025 125 ");
  std::vector<UpsCommand> commands;
  ASSERT_TRUE(eventually([&] {
    UpsCommand c;
    while (service_.control().upsCommandQueue().takeUpsCommand(&c)) commands.push_back(c);
    return commands.size() == 2;
  }));
  EXPECT_EQ(commands[0].command, 387u);
  EXPECT_NEAR(commands[0].argument, start + 3600 - end - 60, 6) << "back on at the entry's time";
  EXPECT_EQ(commands[1].command, 386u);
  EXPECT_EQ(commands[1].argument, 60);
}

INSTANTIATE_TEST_SUITE_P(ScheduleOrCountdown, ServiceShutdownTest, ::testing::Bool());

}  // namespace
}  // namespace orvik
