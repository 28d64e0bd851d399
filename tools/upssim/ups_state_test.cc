#include "ups_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvik::upssim {
namespace {

struct UpsFixture {
  std::vector<std::string> changes;
  Ups ups{{}, [this](const std::string& change) { changes.push_back(change); }};
};

TEST(Ups, ShutdownWithoutRestoreTimeWaitsForAMainsFailureAndReturn) {
  UpsFixture f;
  f.ups.scheduleShutdown(0, 5, -1);
  EXPECT_EQ(f.ups.nextDeadlineMs(), 5'000);
  f.ups.advance(5'000);
  EXPECT_FALSE(f.ups.state().outputOn);
  f.ups.advance(600'000);
  EXPECT_FALSE(f.ups.state().outputOn);  // mains never failed: stays off
  f.ups.setMains(false, 601'000);
  f.ups.setMains(true, 602'000);
  EXPECT_TRUE(f.ups.state().outputOn);
  EXPECT_EQ(f.changes, (std::vector<std::string>{"shutdown in 5 s, restore none",
                                                 "output off (shutdown delay over)", "mains absent",
                                                 "mains present", "output on (mains returned)"}));
}

TEST(Ups, RestoreTimeWaitsForMainsWhenItIsStillAbsent) {
  UpsFixture f;
  f.ups.setMains(false, 0);
  f.ups.scheduleShutdown(0, 0, 10);
  EXPECT_FALSE(f.ups.state().outputOn);
  f.ups.advance(20'000);
  EXPECT_FALSE(f.ups.state().outputOn);
  f.ups.setMains(true, 25'000);
  EXPECT_TRUE(f.ups.state().outputOn);
}

TEST(Ups, CancelKeepsTheOutputOffAtLeastTenSeconds) {
  UpsFixture f;
  f.ups.scheduleShutdown(0, 1, -1);
  f.ups.advance(1'000);
  ASSERT_FALSE(f.ups.state().outputOn);
  f.ups.cancelShutdown(3'000, true);
  f.ups.advance(10'999);
  EXPECT_FALSE(f.ups.state().outputOn);
  EXPECT_EQ(f.ups.nextDeadlineMs(), 11'000);
  f.ups.advance(11'000);
  EXPECT_TRUE(f.ups.state().outputOn);
}

TEST(Ups, CancelWithoutWakeOnlyDropsThePendingShutdown) {
  UpsFixture f;
  f.ups.scheduleShutdown(0, 30, 60);
  f.ups.cancelShutdown(1'000, false);
  f.ups.advance(100'000);
  EXPECT_TRUE(f.ups.state().outputOn);
  EXPECT_EQ(f.ups.nextDeadlineMs(), -1);
}

TEST(Ups, BatteryDrainsWithLoadAndTheOutputDiesWhenEmpty) {
  UpsFixture f;
  f.ups.state().loadPercent = 50;
  f.ups.state().dischargePerMinute = 20;  // 10 %/min at half load
  f.ups.advance(0);
  f.ups.setMains(false, 0);
  f.ups.advance(60'000);
  EXPECT_EQ(f.ups.readings().batteryCharge, 90);
  f.ups.advance(9 * 60'000);
  EXPECT_TRUE(f.ups.readings().batteryLow);
  EXPECT_TRUE(f.ups.state().outputOn);
  f.ups.advance(10 * 60'000);
  EXPECT_FALSE(f.ups.state().outputOn);
  f.ups.setMains(true, 11 * 60'000);
  EXPECT_TRUE(f.ups.state().outputOn);
  f.ups.advance(12 * 60'000);  // charging at 10 %/min
  EXPECT_EQ(f.ups.readings().batteryCharge, 10);
  EXPECT_EQ(f.changes, (std::vector<std::string>{"mains absent", "battery low",
                                                 "output off (battery exhausted)", "mains present",
                                                 "output on (mains returned)"}));
}

TEST(Ups, TestEndsWithItsOutcomeOrIsAbortedByAPowerFailure) {
  UpsFixture f;
  f.ups.state().testOutcome = TestResult::kWarning;
  ASSERT_TRUE(f.ups.startTest(0, 10));
  EXPECT_TRUE(f.ups.readings().onBattery);
  EXPECT_EQ(f.ups.nextDeadlineMs(), 10'000);
  f.ups.advance(9'999);
  EXPECT_EQ(f.ups.state().lastTest, TestResult::kInProgress);
  f.ups.advance(10'000);
  EXPECT_EQ(f.ups.state().lastTest, TestResult::kWarning);
  EXPECT_FALSE(f.ups.readings().onBattery);

  ASSERT_TRUE(f.ups.startTest(20'000, 10));
  f.ups.setMains(false, 21'000);
  EXPECT_EQ(f.ups.state().lastTest, TestResult::kAborted);
  EXPECT_FALSE(f.ups.startTest(22'000, 10));
}

TEST(Ups, ReadingsFollowMainsRegulationAndOutput) {
  Ups ups;
  ups.state().inputVoltage = 250;
  Readings r = ups.readings();
  EXPECT_EQ(r.outputVoltage, 250);
  EXPECT_EQ(r.outputSource, kSourceNormal);
  ups.state().inputVoltage = 260;
  EXPECT_EQ(ups.readings().outputVoltage, 230);
  EXPECT_EQ(ups.readings().outputSource, kSourceTrim);
  ups.setMains(false, 0);
  r = ups.readings();
  EXPECT_EQ(r.inputVoltage, 0);
  EXPECT_EQ(r.outputVoltage, 230);
  EXPECT_EQ(r.outputSource, kSourceBattery);
  ups.setOutput(false, 0);
  r = ups.readings();
  EXPECT_EQ(r.outputVoltage, 0);
  EXPECT_EQ(r.loadPercent, 0);
  EXPECT_EQ(r.outputSource, kSourceNone);
  EXPECT_FALSE(ups.outletPowered(0));
}

}  // namespace
}  // namespace orvik::upssim
