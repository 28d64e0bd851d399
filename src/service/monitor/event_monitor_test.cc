#include "service/monitor/event_monitor.h"

#include <gtest/gtest.h>

#include <mutex>

#include "service/monitor/monitor_test_support.h"

namespace orvik {
namespace {

struct Offer {
  ActionQueueId queue;
  int event;
  int64_t dueMs;
  int16_t inputLineBads;  // as the record held them when the event was offered
  int16_t testSpinLock;
  int16_t batteryVoltage;
};

class RecordingQueues final : public EventSink {
 public:
  explicit RecordingQueues(StatusRecord& record) : record_(record) {}
  void enqueueAction(ActionQueueId queue, EventAction&, int event, int64_t dueMs) override {
    std::lock_guard<std::mutex> lock(mutex_);
    offers.push_back(
        {queue, event, dueMs, record_.inputLineBads, record_.testSpinLock, record_.batteryVoltage});
  }
  std::vector<int> events() const {
    std::vector<int> numbers;
    for (const Offer& offer : offers) {
      if (offer.queue == kBroadcastQueue) numbers.push_back(offer.event);
    }
    return numbers;
  }
  std::vector<Offer> offers;

 private:
  StatusRecord& record_;
  std::mutex mutex_;
};

constexpr uint32_t bit(int n) { return uint32_t{1} << n; }

class EventMonitorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    loadTestCatalogue(folder, "<24><Service started><><>\n<1><Power failure><><>\n", catalogue);
    StatusRecord& r = record();
    for (EventAction& entry : r.eventActionsEven) entry.logEnable = 1;
    for (EventAction& entry : r.eventActionsOdd) entry.logEnable = 1;
    r.EvtFileLen = r.DataFileLen = 1'000'000;
    r.dataLogEnable = 1;
    r.DataInterval = 60;
    r.dataLogCountdown = 60;
    r.shutdownAfterDelay.value = -1;
    r.eventActionsEven[1].shutDelay = 300;
    r.powerFailCountdown = 300;
  }

  StatusRecord& record() { return test.record(); }
  void runSeconds(int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
      fake.clock.sleepMs(100);
      monitor.monitorStep();
    }
  }
  std::vector<std::string> lines(const char* name) {
    std::vector<std::string> out;
    const std::string text = folder.read(name);
    for (std::size_t at = 0; at < text.size(); at = text.find("\r\n", at) + 2) {
      out.push_back(text.substr(at, text.find("\r\n", at) - at));
    }
    return out;
  }
  std::vector<int> loggedEvents() {
    std::vector<int> numbers;
    for (const std::string& line : lines("kestrel.log"))
      numbers.push_back(std::stoi(line.substr(0, 3)));
    return numbers;
  }

  ScratchFolder folder;
  FakePlatform fake;
  TestRecord test{folder};
  MessageCatalogue catalogue;
  EventLog log{record(), fake.clock, fake.files, test.files.logs};
  RecordingQueues queues{record()};
  std::vector<std::pair<int64_t, int64_t>> scheduleRuns;
  EventMonitor monitor{
      record(), fake.clock,
      log,      catalogue,
      queues,   [this](int64_t last, int64_t now) { scheduleRuns.emplace_back(last, now); }};
};

TEST_F(EventMonitorTest, BitsChangingInOnePassRaiseEventsInFixedBitOrder) {
  record().alarmFlags = bit(23) | bit(19) | bit(5) | bit(1) | bit(0) | bit(24) | bit(6) | bit(26);
  monitor.monitorStep();
  const std::vector<int> occurrences = {24, 0, 1, 5, 19, 23};
  EXPECT_EQ(loggedEvents(), occurrences);
  EXPECT_EQ(queues.events(), occurrences);
  // Each event is offered to the five queues in order before the next one.
  ASSERT_EQ(queues.offers.size(), 30u);
  for (std::size_t i = 0; i < queues.offers.size(); ++i) {
    EXPECT_EQ(queues.offers[i].queue, static_cast<ActionQueueId>(i % 5));
    EXPECT_EQ(queues.offers[i].event, occurrences[i / 5]);
  }
  EXPECT_EQ(lines("kestrel.log")[0].substr(27), "[Service started                         ]");
  EXPECT_EQ(lines("kestrel.log")[3].substr(27), "[not found                               ]");

  // Clearing them all raises the recoveries, but "service stopped" is not
  // the monitor's to raise.
  record().alarmFlags = 0;
  monitor.monitorStep();
  const std::vector<int> all = loggedEvents();
  EXPECT_EQ(std::vector<int>(all.begin() + 6, all.end()),
            (std::vector<int>{100, 101, 105, 119, 123}));
}

TEST_F(EventMonitorTest, BitToggledTwiceBetweenPassesRaisesNothing) {
  record().alarmFlags = bit(24);
  monitor.monitorStep();
  record().alarmFlags |= bit(1);
  record().alarmFlags &= ~bit(1);
  monitor.monitorStep();
  EXPECT_EQ(loggedEvents(), std::vector<int>{24});
  EXPECT_EQ(queues.events(), std::vector<int>{24});
}

TEST_F(EventMonitorTest, EventsAreDueAfterTheirEntrysDelaysAndOfferedEvenWhenNotLogged) {
  EventAction& powerFail = record().eventActionsEven[1];
  powerFail.logEnable = 0;
  powerFail.bnmDelay = 5;
  powerFail.mailDelay = 10;
  powerFail.pageDelay = 0;
  powerFail.executeDelay = 20;
  powerFail.shutDelay = 300;
  fake.clock.advanceMs(12'345);
  monitor.raiseEvent(kOccurrence, 1);
  EXPECT_FALSE(folder.exists("kestrel.log"));
  ASSERT_EQ(queues.offers.size(), 5u);
  const int64_t due[] = {17'345, 22'345, 12'345, 32'345, 312'345};
  for (int q = 0; q < 5; ++q) EXPECT_EQ(queues.offers[q].dueMs, due[q]);
}

TEST_F(EventMonitorTest, ConditionBitsDoTheirExtraWork) {
  StatusRecord& r = record();
  r.inputLineBads = 4;
  r.testSpinLock = 1;
  r.batteryVoltage = 272;
  r.batteryTemperature = 30;
  r.inputFrequency[0] = 500;
  r.inputVoltage[0] = 230;
  r.inputVoltage[1] = 231;
  r.outputFrequency = 500;
  r.outputVoltage[0] = 229;
  r.outputPercentLoad[0] = 40;
  r.batteryCurrent = 12;

  r.alarmFlags = bit(5) | bit(19) | bit(23);
  monitor.monitorStep();
  // Input bad is counted before its event goes out; the readings are
  // dropped only after "communication lost" went out.
  EXPECT_EQ(queues.offers[0].event, 5);
  EXPECT_EQ(queues.offers[0].inputLineBads, 5);
  EXPECT_EQ(queues.offers[5].event, 19);
  EXPECT_EQ(queues.offers[5].batteryVoltage, 272);
  EXPECT_EQ(r.inputLineBads, 5);
  for (const int16_t value :
       {r.batteryVoltage, r.batteryTemperature, r.inputFrequency[0], r.inputVoltage[0],
        r.outputFrequency, r.outputVoltage[0], r.outputPercentLoad[0]}) {
    EXPECT_EQ(value, 0);
  }
  EXPECT_EQ(r.inputVoltage[1], 231);
  EXPECT_EQ(r.batteryCurrent, 12);

  // New readings while communication stays lost are kept.
  r.batteryVoltage = 270;
  runSeconds(1);
  EXPECT_EQ(r.batteryVoltage, 270);

  // The end of a test counts before "test completed" goes out.
  r.alarmFlags &= ~bit(23);
  monitor.monitorStep();
  EXPECT_EQ(queues.offers.back().event, 123);
  EXPECT_EQ(queues.offers.back().testSpinLock, 2);
  EXPECT_EQ(r.inputLineBads, 5);
}

TEST_F(EventMonitorTest, DataLogGetsOneLinePerMinute) {
  record().inputVoltage[0] = 230;
  runSeconds(600);
  const std::vector<std::string> data = lines("kestrel.dat");
  ASSERT_EQ(data.size(), 10u);
  // 1700000000 is 22:13:20 UTC; the first line comes a minute later.
  EXPECT_EQ(data[0].substr(0, 23), "11/14/2023,22:14:20,230");
  EXPECT_EQ(data[9].substr(0, 19), "11/14/2023,22:23:20");
}

TEST_F(EventMonitorTest, ClockSetBackPausesTimeBasedWorkUntilItCatchesUp) {
  runSeconds(30);
  ASSERT_EQ(record().dataLogCountdown, 30);
  const std::size_t runsBefore = scheduleRuns.size();
  ASSERT_EQ(runsBefore, 30u);

  fake.clock.setCalendarSeconds(fake.clock.calendarSeconds() - 100);
  runSeconds(100);
  EXPECT_EQ(record().dataLogCountdown, 30);
  EXPECT_EQ(scheduleRuns.size(), runsBefore);
  EXPECT_FALSE(folder.exists("kestrel.dat"));

  runSeconds(30);
  EXPECT_EQ(lines("kestrel.dat").size(), 1u);
  // The schedule's windows join up: none is run twice, none is skipped.
  for (std::size_t i = 1; i < scheduleRuns.size(); ++i) {
    EXPECT_EQ(scheduleRuns[i].first, scheduleRuns[i - 1].second);
  }
}

TEST_F(EventMonitorTest, LatePassCatchesUpByTheElapsedSeconds) {
  monitor.monitorStep();
  fake.clock.advanceMs(7'000);
  monitor.monitorStep();
  ASSERT_EQ(scheduleRuns.size(), 1u);
  EXPECT_EQ(scheduleRuns[0].second - scheduleRuns[0].first, 7);
  EXPECT_EQ(record().dataLogCountdown, 53);
  // Overdue by far: one line, and the interval starts again.
  fake.clock.advanceMs(600'000);
  monitor.monitorStep();
  EXPECT_EQ(lines("kestrel.dat").size(), 1u);
  EXPECT_EQ(record().dataLogCountdown, 60);
}

TEST_F(EventMonitorTest, PowerFailCountdownRunsOnlyOnBatteryAndStopsAtZero) {
  record().alarmFlags = bit(1);
  runSeconds(100);
  EXPECT_EQ(record().powerFailCountdown, 200);
  runSeconds(250);
  EXPECT_EQ(record().powerFailCountdown, 0);
  record().eventActionsEven[1].shutDelay = 120;
  record().alarmFlags = 0;
  runSeconds(2);
  EXPECT_EQ(record().powerFailCountdown, 120);
}

TEST_F(EventMonitorTest, ShutdownAfterDelayExpiryRaisesShutdownImminent) {
  record().alarmFlags = bit(24);
  record().shutdownAfterDelay.value = 3;
  runSeconds(2);
  EXPECT_EQ(record().shutdownAfterDelay.value, 1);
  EXPECT_EQ(record().alarmFlags & bit(22), 0u);
  runSeconds(2);
  EXPECT_EQ(record().shutdownAfterDelay.value, -1);
  EXPECT_NE(record().alarmFlags & bit(22), 0u);
  EXPECT_EQ(loggedEvents(), (std::vector<int>{24, 22}));

  // Page 51 may post 0: the UPS goes off now, so shutdown is imminent at
  // the next second, and the countdown is idle again.
  record().alarmFlags = bit(24);
  record().shutdownAfterDelay.value = 0;
  runSeconds(1);
  EXPECT_EQ(record().shutdownAfterDelay.value, -1);
  EXPECT_NE(record().alarmFlags & bit(22), 0u);
  EXPECT_EQ(loggedEvents(), (std::vector<int>{24, 22, 122, 22}));
}

TEST_F(EventMonitorTest, DataIntervalZeroWritesNoDataLine) {
  // From the start, as the settings load leaves the countdown at the interval.
  record().DataInterval = 0;
  record().dataLogCountdown = 0;
  runSeconds(300);
  EXPECT_FALSE(folder.exists("kestrel.dat"));

  // Set while a countdown runs: that interval still ends with its line, and
  // then no line follows.
  record().dataLogCountdown = 5;
  runSeconds(300);
  EXPECT_EQ(lines("kestrel.dat").size(), 1u);
  EXPECT_EQ(record().dataLogCountdown, 0);
}

}  // namespace
}  // namespace orvik
