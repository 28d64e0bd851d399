#include "two_letter_responder.h"

#include <gtest/gtest.h>

#include "fake_host.h"

namespace orvik::upssim {
namespace {

struct TwoLetterFixture {
  explicit TwoLetterFixture(int protocol = 7) : responder(protocol, ups) {}
  Ups ups;
  TwoLetterResponder responder;
  FakeHost host{responder};

  std::string ask(const std::string& command) { return host.send(command + "\r\n"); }
};

TEST(TwoLetterResponder, QueriesAnswerTheStateInTheirUnits) {
  TwoLetterFixture f;
  UpsState& s = f.ups.state();
  s.inputVoltage = 231;
  s.inputFrequency = 49.9;
  s.temperature = 27.4;
  s.loadPercent = 42;
  f.ups.setBatteryCharge(50);
  struct Case {
    const char* command;
    const char* reply;
  } cases[] = {
      {"BS", "02\r\n"},        {"BV", "234\r\n"},   {"BT", "27\r\n"},
      {"NF", "499\r\n"},       {"NV", "116\r\n"},   {"OF", "499\r\n"},
      {"OV", "0116\r\n"},      {"OL", "042\r\n"},   {"OS", "03\r\n"},
      {"AG", "00\r\n"},        {"TR", "6\r\n"},     {"IM", "SIMULATED\r\n"},
      {"IO", "UPSSIM-1K\r\n"}, {"IS", "C1.02\r\n"}, {"IZ", "SIM00000001\r\n"},
      {"FV", "230\r\n"},       {"FF", "500\r\n"},   {"FO", "230\r\n"},
      {"FR", "500\r\n"},       {"FA", "1000\r\n"},  {"FP", "600\r\n"},
      {"ON", "02\r\n"},        {"BD", "00000\r\n"}, {"CA", "1\r\n"},
      {"FU", "02\r\n"},        {"FL", "093\r\n"},   {"FH", "145\r\n"},
      {"FT", "240\r\n"},       {"FB", "02\r\n"},    {"OI1", "1\r\n"},
      {"OI2", "1\r\n"},        {"OI3", "0\r\n"},    {"OM1", "1\r\n"},
      {"OA2", "00\r\n"},       {"OD1", "1\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(f.ask(c.command), c.reply) << c.command;
}

TEST(TwoLetterResponder, AlarmsBatteryStateAndSourceFollowTheUps) {
  TwoLetterFixture f;
  f.ups.setMains(false, f.host.nowMs);
  f.ups.state().overloadForced = true;
  f.ups.state().batteryReplace = true;
  EXPECT_EQ(f.ask("AG"), "3A\r\n");
  EXPECT_EQ(f.ask("OS"), "05\r\n");
  EXPECT_EQ(f.ask("NV"), "000\r\n");
  f.ups.setBatteryCharge(10);
  EXPECT_EQ(f.ask("BS"), "03\r\n");
  f.ups.setBatteryCharge(0);
  f.ups.advance(f.host.nowMs);
  EXPECT_EQ(f.ask("BS"), "04\r\n");
  EXPECT_EQ(f.ask("OS"), "02\r\n");  // exhausted: output off
  f.ups.setMains(true, f.host.nowMs);
  f.ups.state().inputVoltage = 260;
  EXPECT_EQ(f.ask("OS"), "07\r\n");
  f.ups.state().inputVoltage = 190;
  EXPECT_EQ(f.ask("OS"), "06\r\n");
}

TEST(TwoLetterResponder, VersionTellsTheProtocolsApart) {
  const char* versions[] = {"T2.10", "B2.05", "C1.02", "B1.07", "B3.01"};
  for (int protocol = 5; protocol <= 9; ++protocol) {
    TwoLetterFixture f(protocol);
    EXPECT_EQ(f.ask("IS"), std::string(versions[protocol - 5]) + "\r\n");
  }
}

TEST(TwoLetterResponder, SettingsAsTheHostComposesThemAreEchoedAndKept) {
  TwoLetterFixture f;
  EXPECT_EQ(f.host.send("Fb05\r\n"), "Fb05\r\n");
  EXPECT_EQ(f.host.send("Fl093\r\n"), "Fl093\r\n");
  EXPECT_EQ(f.host.send("Fh151\r\n"), "Fh151\r\n");
  EXPECT_EQ(f.host.send("Bd00120\r\n"), "Bd00120\r\n");
  EXPECT_EQ(f.host.send("Fa02\r\n"), "Fa02\r\n");
  EXPECT_EQ(f.host.send("Oa31\r\n"), "Oa31\r\n");  // outlet index 1, action 3
  // "Fu" carries a checksum byte after its line end; it is no command.
  EXPECT_EQ(f.host.send("Fu2\r\n@"), "Fu2\r\n");
  const UpsState& s = f.ups.state();
  EXPECT_EQ(s.lowBatteryWarning, 5);
  EXPECT_EQ(s.lowTransferVoltage, 93);
  EXPECT_EQ(s.highTransferVoltage, 151);
  EXPECT_EQ(s.batteryDate, 120);
  EXPECT_EQ(s.autoRestart, 2);
  EXPECT_EQ(s.audible, 2);
  EXPECT_EQ(f.ask("OA1"), "00\r\n");
  EXPECT_EQ(f.ask("OA2"), "03\r\n");
  EXPECT_EQ(f.ask("FB"), "05\r\n");
}

TEST(TwoLetterResponder, ValuesOutsideTheAllowedOnesAreRefusedSilently) {
  TwoLetterFixture f;
  for (const char* command : {"Fb03\r\n", "Fl094\r\n", "Fh150\r\n", "Bd32001\r\n", "Fu5\r\n",
                              "Fb0x5\r\n", "Fb\r\n", "Oi19\r\n", "Ts1\r\n", "Od25\r\n"}) {
    EXPECT_EQ(f.host.send(command), "") << command;
  }
  const UpsState& s = f.ups.state();
  EXPECT_EQ(s.lowBatteryWarning, 2);
  EXPECT_EQ(s.lowTransferVoltage, 93);
  EXPECT_EQ(s.highTransferVoltage, 145);
  EXPECT_EQ(s.batteryDate, 0);
  EXPECT_EQ(s.audible, 2);
  EXPECT_FALSE(f.ups.readings().testRunning);
}

TEST(TwoLetterResponder, OutletAndTestCommands) {
  TwoLetterFixture f;
  EXPECT_EQ(f.host.send("Oi01\r\n"), "Oi01\r\n");  // index 1, off
  EXPECT_EQ(f.ask("OI2"), "0\r\n");
  EXPECT_EQ(f.host.send("Oi11\r\n"), "Oi11\r\n");  // index 1, on
  EXPECT_EQ(f.ask("OI2"), "1\r\n");
  EXPECT_EQ(f.host.send("Ts\r\n"), "Ts\r\n");
  EXPECT_EQ(f.ask("TR"), "5\r\n");
  f.ups.advance(f.host.nowMs + 10'000);
  EXPECT_EQ(f.ask("TR"), "1\r\n");
}

TEST(TwoLetterResponder, HostShutdownSequenceSwitchesOffAndRestores) {
  TwoLetterFixture f;
  f.host.send("Cu0000600\r\n");
  f.host.send("Ct1");
  f.host.send("Ca0");
  int64_t sentAt = f.host.nowMs;
  EXPECT_EQ(f.host.send("Cs0000030\r\n"), "Cs0000030\r\n");
  EXPECT_EQ(f.ups.state().shutdownType, 1);
  EXPECT_EQ(f.ups.state().autoRestart, 0);
  ASSERT_TRUE(f.ups.shutdownPending());
  EXPECT_EQ(f.ups.shutdownAtMs(), sentAt + 30'000);
  f.ups.advance(sentAt + 30'000);
  EXPECT_FALSE(f.ups.state().outputOn);
  f.ups.advance(sentAt + 629'999);
  EXPECT_FALSE(f.ups.state().outputOn);
  f.ups.advance(sentAt + 630'000);
  EXPECT_TRUE(f.ups.state().outputOn);
  // The restore time served one shutdown only.
  EXPECT_EQ(f.ups.state().pendingRestoreSeconds, -1);
}

TEST(TwoLetterResponder, HostCancelWithoutLineEndDropsTheShutdown) {
  TwoLetterFixture f;
  f.host.send("Cs0000300\r\n");
  ASSERT_TRUE(f.ups.shutdownPending());
  f.host.send("Ct1");
  f.host.send("Ca0");
  f.host.send("Cs-000001");
  EXPECT_FALSE(f.ups.shutdownPending());
  EXPECT_TRUE(f.ups.state().outputOn);
}

TEST(TwoLetterResponder, ProbesOfOtherFamiliesGetNoAnswer) {
  TwoLetterFixture f;
  for (const char* probe : {"\x01", "OI\r", "Q1\r", "I\r", "F\r"}) {
    EXPECT_EQ(f.host.send(probe), "") << probe;
  }
  EXPECT_EQ(f.ask("IS"), "C1.02\r\n");
}

}  // namespace
}  // namespace orvik::upssim
