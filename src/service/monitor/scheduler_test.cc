#include "service/monitor/scheduler.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "service/monitor/event_monitor.h"
#include "service/monitor/monitor_test_support.h"
#include "shared/control_datagram.h"

namespace orvik {
namespace {

struct ScheduledRun {
  int64_t at;  // end of the bookkeeping window that ran it
  uint32_t command;
  int32_t argument;
};

constexpr int64_t kHour = 3600;
constexpr int64_t kDay = 86400;

class SchedulerTest : public ::testing::Test {
 protected:
  void SetUp() override { record().shutdownAfterDelay.value = -1; }

  StatusRecord& record() { return *reinterpret_cast<StatusRecord*>(bytes_.data()); }

  // Calendar seconds of a local time on the test's clock.
  int64_t at(int year, int month, int day, int hour, int minute = 0, int second = 0) {
    LocalTime local;
    local.year = year;
    local.month = month;
    local.day = day;
    local.hour = hour;
    local.minute = minute;
    local.second = second;
    int64_t seconds = 0;
    EXPECT_TRUE(clock_.fromLocalTime(local, &seconds));
    return seconds;
  }
  LocalTime local(int64_t seconds) {
    LocalTime out;
    EXPECT_TRUE(clock_.toLocalTime(seconds, &out));
    return out;
  }

  int addEntry(int action, int repeat, int year, int month, int day, int hour, int minute = 0,
               int second = 0, int weekday = 0) {
    const int index = record().scheduleCount++;
    record().schedule[index] = {
        static_cast<int16_t>(action), static_cast<int16_t>(second),  static_cast<int16_t>(minute),
        static_cast<int16_t>(hour),   static_cast<int16_t>(day),     static_cast<int16_t>(month),
        static_cast<int16_t>(year),   static_cast<int16_t>(weekday), static_cast<int16_t>(repeat)};
    return index;
  }

  // The bookkeeping from `from` to `to` in windows of `step` seconds, as the
  // monitor runs it; what each window sent to the control port.
  std::vector<ScheduledRun> runBetween(int64_t from, int64_t to, int64_t step) {
    std::vector<ScheduledRun> runs;
    for (int64_t last = from; last < to; last += step) {
      const std::size_t before = sockets_.sent().size();
      scheduler_.runDueEntries(last, last + step);
      collect(before, last + step, &runs);
    }
    return runs;
  }
  void collect(std::size_t from, int64_t when, std::vector<ScheduledRun>* runs) {
    const auto sent = sockets_.sent();
    for (std::size_t i = from; i < sent.size(); ++i) {
      EXPECT_EQ(sent[i].to.address, kLoopbackIpv4);
      EXPECT_EQ(sent[i].to.port, kControlPort);
      ControlDatagram datagram;
      EXPECT_EQ(decodeControlDatagram(sent[i].bytes.data(), sent[i].bytes.size(), &datagram), 0);
      EXPECT_FALSE(datagram.hasText);
      runs->push_back({when, datagram.command, datagram.argument});
    }
  }

  std::vector<unsigned char> bytes_ = std::vector<unsigned char>(sizeof(StatusRecord));
  FakeClock clock_;
  FakeSockets sockets_;
  DatagramSender sender_{sockets_, [](const char*) {}};
  Scheduler scheduler_{record(), clock_, sender_};
};

TEST_F(SchedulerTest, DailyEntryFirstDueThreeDaysBackRunsOnceTodayAtItsTime) {
  addEntry(1, kRepeatDaily, 2026, 3, 7, 10, 20, 30);
  const std::vector<ScheduledRun> runs = runBetween(at(2026, 3, 10, 8), at(2026, 3, 11, 8), 1);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].at, at(2026, 3, 10, 10, 20, 30));
  EXPECT_EQ(runs[0].command, kSelfTestCommand);
  EXPECT_EQ(runs[0].argument, 1);
}

TEST_F(SchedulerTest, MonthlyDay31RunsOnTheNormalisedDayOfShortMonths) {
  addEntry(2, kRepeatMonthly, 2026, 1, 31, 10);
  struct Case {
    int64_t from, to;
    std::vector<int64_t> expected;
  };
  const Case cases[] = {
      // February 2026 has 28 days: 31 February is 3 March, then 31 March.
      {at(2026, 2, 1, 0), at(2026, 4, 1, 0), {at(2026, 3, 3, 10), at(2026, 3, 31, 10)}},
      // 31 April is 1 May.
      {at(2026, 4, 1, 0), at(2026, 5, 2, 0), {at(2026, 5, 1, 10)}},
      // A leap year's February: 2 March.
      {at(2028, 2, 1, 0), at(2028, 3, 10, 0), {at(2028, 3, 2, 10)}},
  };
  for (const Case& c : cases) {
    std::vector<int64_t> times;
    for (const ScheduledRun& run : runBetween(c.from, c.to, 60)) times.push_back(run.at);
    EXPECT_EQ(times, c.expected) << "from " << c.from;
  }
  // The next occurrence sees the one pushed into this month, and December
  // wraps into January.
  const ScheduleEntry& entry = record().schedule[0];
  EXPECT_EQ(scheduler_.nextDueTime(entry, at(2026, 2, 10, 0)), at(2026, 3, 3, 10));
  EXPECT_EQ(scheduler_.nextDueTime(entry, at(2026, 3, 2, 0)), at(2026, 3, 3, 10));
  EXPECT_EQ(scheduler_.nextDueTime(entry, at(2026, 3, 4, 0)), at(2026, 3, 31, 10));
  EXPECT_EQ(scheduler_.nextDueTime(entry, at(2026, 12, 31, 11)), at(2027, 1, 31, 10));
}

TEST_F(SchedulerTest, WeeklyEntryRunsOnTheWeekdayOfItsFirstDateNotOfWordSeven) {
  // 6 January 2026 is a Tuesday; word 7 says Sunday and plays no part.
  addEntry(3, kRepeatWeekly, 2026, 1, 6, 7, 0, 0, 1);
  const std::vector<ScheduledRun> runs = runBetween(at(2026, 2, 1, 0), at(2026, 2, 22, 0), 60);
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0].at, at(2026, 2, 3, 7));
  for (std::size_t i = 0; i < runs.size(); ++i) {
    EXPECT_EQ(runs[i].at, runs[0].at + static_cast<int64_t>(i) * 604800);
    EXPECT_EQ(local(runs[i].at).weekday, 2);
    EXPECT_EQ(runs[i].argument, 3);
  }
  EXPECT_EQ(scheduler_.nextDueTime(record().schedule[0], at(2026, 2, 3, 7, 0, 1)),
            at(2026, 2, 10, 7));
}

TEST_F(SchedulerTest, ClockJumpedForwardByPeriodsRunsEachPeriodicEntryOnce) {
  addEntry(1, kRepeatDaily, 2026, 1, 1, 9);
  addEntry(2, kRepeatWeekly, 2026, 1, 1, 9);
  addEntry(3, kRepeatMonthly, 2026, 1, 1, 9);
  addEntry(101, kRepeatYearly, 2025, 1, 1, 9);
  const int64_t last = at(2026, 2, 1, 12);
  std::vector<ScheduledRun> runs;
  scheduler_.runDueEntries(last, at(2027, 3, 15, 12));  // more than a year ahead
  collect(0, 0, &runs);
  ASSERT_EQ(runs.size(), 4u);
  EXPECT_EQ(runs[0].argument, 1);
  EXPECT_EQ(runs[1].argument, 2);
  EXPECT_EQ(runs[2].argument, 3);
  EXPECT_EQ(runs[3].command, outletCommand);
}

TEST_F(SchedulerTest, EntryDueAtTheLastPassIsNotRunAgainOneDueNowIs) {
  addEntry(1, kRepeatOnce, 2026, 5, 1, 12);
  const int64_t due = at(2026, 5, 1, 12);
  EXPECT_TRUE(runBetween(due, due + 1, 1).empty());
  EXPECT_EQ(runBetween(due - 1, due, 1).size(), 1u);
  EXPECT_EQ(scheduler_.nextDueTime(record().schedule[0], due + 1), kNoDueTime);
}

TEST_F(SchedulerTest, ActionCodesBecomeControlDatagramsOrTheShutdownBit) {
  struct Case {
    int action;
    uint32_t command;  // 0: no datagram
    int32_t argument;
  };
  const Case cases[] = {
      {1, kSelfTestCommand, 1},
      {2, kSelfTestCommand, 2},
      {3, kSelfTestCommand, 3},
      {11, 387, 0},
      {100, outletCommand, 0x10000},
      {107, outletCommand, 0x10007},
      {200, outletCommand, 0},
      {207, outletCommand, 7},
      {0, 0, 0},
      {4, 0, 0},
      {108, 0, 0},
      {208, 0, 0},
      {-200, 0, 0},
      {21, 0, 0},
  };
  std::vector<ScheduledRun> expected;
  for (const Case& c : cases) {
    addEntry(c.action, kRepeatOnce, 2026, 5, 1, 12);
    if (c.command != 0) expected.push_back({0, c.command, c.argument});
  }
  const int64_t due = at(2026, 5, 1, 12);
  scheduler_.runDueEntries(due - 1, due);
  std::vector<ScheduledRun> runs;
  collect(0, 0, &runs);
  ASSERT_EQ(runs.size(), expected.size());
  for (std::size_t i = 0; i < runs.size(); ++i) {
    EXPECT_EQ(runs[i].command, expected[i].command) << i;
    EXPECT_EQ(runs[i].argument, expected[i].argument) << i;
  }
  EXPECT_EQ(record().alarmFlags, 1u << 22) << "Turn off ups sets the shutdown-imminent bit";
}

TEST_F(SchedulerTest, NextPowerOnTimeIsTheEarliestComingTurnOnUpsEntry) {
  EXPECT_EQ(scheduler_.nextPowerOnTime(at(2026, 5, 1, 0)), kNoDueTime);
  addEntry(1, kRepeatOnce, 2026, 5, 1, 6);    // earlier, but a test
  addEntry(11, kRepeatOnce, 2026, 4, 1, 6);   // passed
  addEntry(11, kRepeatOnce, 2026, 5, 9, 6);   // later
  addEntry(11, kRepeatDaily, 2026, 1, 1, 7);  // tomorrow morning is the earliest
  addEntry(11, 9, 2026, 5, 1, 1);             // unknown repeat kind
  EXPECT_EQ(scheduler_.nextPowerOnTime(at(2026, 5, 1, 8)), at(2026, 5, 2, 7));
  record().scheduleCount = 3;
  EXPECT_EQ(scheduler_.nextPowerOnTime(at(2026, 5, 1, 8)), at(2026, 5, 9, 6));
}

TEST_F(SchedulerTest, DailyEntryKeepsItsHourOnTheClockAcrossSummerTimeChanges) {
  // Central European time: one hour ahead of UTC, two in summer 2026.
  clock_.setUtcOffsetSeconds(kHour);
  const int64_t summerStart = 1774746000;  // 29 March 2026 01:00 UTC
  const int64_t summerEnd = 1792890000;    // 25 October 2026 01:00 UTC
  clock_.setSummerTime(summerStart, summerEnd);
  ASSERT_EQ(local(summerStart).hour, 3);
  ASSERT_EQ(local(summerStart - 1).hour, 1);

  addEntry(1, kRepeatDaily, 2026, 1, 5, 10);  // first due in winter
  for (const int64_t change : {summerStart, summerEnd}) {
    const std::vector<ScheduledRun> runs = runBetween(change - 3 * kDay, change + 3 * kDay, 60);
    ASSERT_EQ(runs.size(), 6u) << "one run a day at " << change;
    for (const ScheduledRun& run : runs) {
      EXPECT_EQ(local(run.at).hour, 10) << run.at;
      EXPECT_EQ(local(run.at).minute, 0) << run.at;
    }
  }
}

TEST_F(SchedulerTest, MissedTimeWhileStoppedDoesNotRunAtStart) {
  ScratchFolder folder;
  TestRecord test{folder};
  StatusRecord& r = test.record();
  r.shutdownAfterDelay.value = -1;
  r.scheduleCount = 1;
  r.schedule[0] = {1, 0, 0, 10, 1, 5, 2026, 0, kRepeatDaily};
  MessageCatalogue catalogue;
  loadTestCatalogue(folder, "<24><Service started><><>\n", catalogue);
  FakeFileSystem files;
  EventLog log{r, clock_, files, test.files.logs};
  struct NoQueues final : EventSink {
    void enqueueAction(ActionQueueId, EventAction&, int, int64_t) override {}
  } queues;
  Scheduler scheduler{r, clock_, sender_};
  EventMonitor monitor{
      r,         clock_, log,
      catalogue, queues, [&](int64_t last, int64_t now) { scheduler.runDueEntries(last, now); }};

  // Started at 10:00:05 on 3 May: today's 10:00 was missed.
  clock_.setCalendarSeconds(at(2026, 5, 3, 10, 0, 5));
  for (int i = 0; i < 10 * 600; ++i) {
    monitor.monitorStep();
    clock_.sleepMs(100);
  }
  EXPECT_TRUE(sockets_.sent().empty());
  // The next day's occurrence runs, once.
  clock_.setCalendarSeconds(at(2026, 5, 4, 9, 59, 58));
  for (int i = 0; i < 10 * 5; ++i) {
    monitor.monitorStep();
    clock_.sleepMs(100);
  }
  EXPECT_EQ(sockets_.sent().size(), 1u);
}

TEST_F(SchedulerTest, AnyWordValuesNeverCrashOrSendAnythingButKnownCommands) {
  const unsigned seed = std::random_device()();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> word(-32768, 32767);
  std::uniform_int_distribution<int> small(-3, 40);
  const auto anyWord = [&] {
    return static_cast<int16_t>(random() % 2 ? word(random) : small(random));
  };
  for (int round = 0; round < 200; ++round) {
    record().scheduleCount = anyWord();
    for (ScheduleEntry& e : record().schedule) {
      e = {anyWord(), anyWord(), anyWord(), anyWord(), anyWord(),
           anyWord(), anyWord(), anyWord(), anyWord()};
      if (random() % 3 == 0) e.frequency = static_cast<int16_t>(random() % 7);
      if (random() % 3 == 0) e.year = static_cast<int16_t>(2020 + random() % 10);
    }
    const int64_t now = at(2026, 1 + random() % 12, 1 + random() % 28, random() % 24);
    scheduler_.runDueEntries(now - 1 - random() % 100000, now);
    scheduler_.nextPowerOnTime(now);
    for (const ScheduleEntry& e : record().schedule) {
      const int64_t next = scheduler_.nextDueTime(e, now);
      EXPECT_TRUE(next == kNoDueTime || next >= now);
      if (e.frequency < kRepeatOnce || e.frequency > kRepeatYearly) {
        EXPECT_EQ(scheduler_.latestDueTime(e, now), kNoDueTime);
      }
    }
  }
  std::vector<ScheduledRun> runs;
  collect(0, 0, &runs);
  for (const ScheduledRun& run : runs) {
    const bool known =
        (run.command == kSelfTestCommand && run.argument >= 1 && run.argument <= 3) ||
        (run.command == 387 && run.argument == 0) ||
        (run.command == outletCommand && ((run.argument & 0xFFFF) < kOutletCount) &&
         (run.argument >> 16) <= 1);
    EXPECT_TRUE(known) << run.command << " " << run.argument;
  }
}

}  // namespace
}  // namespace orvik
