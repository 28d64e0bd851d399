#include "control.h"

#include <gtest/gtest.h>

namespace orvik::upssim {
namespace {

struct ControlFixture {
  Ups ups;
  LinkFaults faults;
  std::string run(const std::string& line, int64_t nowMs = 0) {
    return runControlCommand(line, {ups, faults, 3}, nowMs);
  }
};

TEST(Control, CommandsChangeTheUps) {
  ControlFixture f;
  EXPECT_EQ(f.run("power fail"), "ok");
  EXPECT_TRUE(f.ups.readings().utilityFail);
  EXPECT_EQ(f.run("battery low"), "ok charge 10 %");
  EXPECT_TRUE(f.ups.readings().batteryLow);
  EXPECT_EQ(f.run("power restore"), "ok");
  EXPECT_EQ(f.run("battery normal"), "ok charge 100 %");
  EXPECT_EQ(f.run("overload"), "ok");
  EXPECT_TRUE(f.ups.readings().overload);
  EXPECT_EQ(f.run("overload off"), "ok");
  EXPECT_FALSE(f.ups.readings().overload);
  EXPECT_EQ(f.run("alarm overtemp on"), "ok");
  EXPECT_TRUE(f.ups.state().overTemperature);
  EXPECT_EQ(f.run("outlet 2 off"), "ok");
  EXPECT_FALSE(f.ups.outletPowered(1));
  EXPECT_EQ(f.run("test start", 1'000), "ok");
  EXPECT_EQ(f.run("test fail", 2'000), "ok");
  EXPECT_EQ(f.ups.state().lastTest, TestResult::kError);
  EXPECT_EQ(f.run("shutdown 30 60", 3'000), "ok");
  EXPECT_EQ(f.ups.shutdownAtMs(), 33'000);
  EXPECT_EQ(f.run("shutdown cancel", 4'000), "ok");
  EXPECT_FALSE(f.ups.shutdownPending());
  EXPECT_EQ(f.run("silent on"), "ok");
  EXPECT_EQ(f.run("garbage on"), "ok");
  EXPECT_TRUE(f.faults.silent && f.faults.garbage);
  EXPECT_EQ(f.run("output off", 5'000), "ok");
  EXPECT_FALSE(f.ups.state().outputOn);
}

TEST(Control, SetChangesValuesWithinTheirRanges) {
  ControlFixture f;
  EXPECT_EQ(f.run("set input-voltage 231.5"), "ok");
  EXPECT_EQ(f.ups.readings().inputVoltage, 231.5);
  EXPECT_EQ(f.run("set load 80"), "ok");
  EXPECT_EQ(f.run("set model Big Box 3000"), "ok");
  EXPECT_EQ(f.ups.state().model, "Big Box 3000");
  EXPECT_EQ(f.run("set test-outcome warn"), "ok");
  EXPECT_EQ(f.ups.state().testOutcome, TestResult::kWarning);
  EXPECT_EQ(f.run("set reply-delay 700"), "ok");
  EXPECT_EQ(f.faults.replyDelayMs, 700);
  EXPECT_EQ(f.run("set beeper off"), "ok");
  EXPECT_FALSE(f.ups.state().beeper);
}

TEST(Control, BadCommandsAreRefusedAndChangeNothing) {
  ControlFixture f;
  struct Case {
    const char* line;
    const char* answer;
  } cases[] = {
      {"", "error: empty command"},
      {"fly away", "error: unknown command: fly"},
      {"power off", "error: usage: power fail|restore"},
      {"set load abc", "error: not a number: abc"},
      {"set load 12.5", "error: not a whole number: 12.5"},
      {"set load 300", "error: 300 is outside 0 to 255"},
      {"set input-voltage 1e9", "error: 1e9 is outside 0 to 999.9"},
      {"set colour blue", "error: unknown setting: colour"},
      {"set load", "error: usage: set NAME VALUE (see help)"},
      {"outlet 3 on", "error: no outlet 3"},
      {"outlet 1 maybe", "error: expected on or off, not maybe"},
      {"battery charge 101", "error: 101 is outside 0 to 100"},
      {"shutdown soon", "error: not a number: soon"},
      {"test sometimes", "error: expected pass, warn or fail, not sometimes"},
  };
  for (const Case& c : cases) EXPECT_EQ(f.run(c.line), c.answer) << c.line;
  EXPECT_EQ(f.ups.state().loadPercent, 25);
  EXPECT_TRUE(f.ups.state().mainsPresent);
  EXPECT_FALSE(f.ups.shutdownPending());
}

TEST(Control, StatusDescribesTheUpsInOneLine) {
  ControlFixture f;
  f.run("power fail", 0);
  f.run("shutdown 20", 0);
  EXPECT_EQ(f.run("status", 5'000),
            "ok protocol=3 mains=0 input-voltage=0.0 input-frequency=0.0 output=on "
            "output-voltage=230.0 output-frequency=50.0 load=25 battery-charge=100 "
            "battery-volts=26.0 battery-low=0 overload=0 source=5 test=idle test-result=6 "
            "shutdown-in-ms=15000 outlets=11 silent=0 garbage=0 reply-delay=0");
}

}  // namespace
}  // namespace orvik::upssim
