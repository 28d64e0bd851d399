#include "q1_responder.h"

#include <gtest/gtest.h>

#include "fake_host.h"

namespace orvik::upssim {
namespace {

struct Q1Fixture {
  explicit Q1Fixture(int protocol) : responder(protocol, ups) {}
  Ups ups;
  Q1Responder responder;
  FakeHost host{responder};
};

TEST(Q1Responder, StatusReplyHasEachProtocolsLength) {
  //                          1        10        20        30        40        50
  //                          12345678901234567890123456789012345678901234567890123456
  EXPECT_EQ(Q1Fixture(2).host.send("Q1\r"), "(230.0 230.0 230.0 025 50.0 26.0 25.0 000010\r");
  EXPECT_EQ(Q1Fixture(3).host.send("Q1\r"), "(230.0 230.0 230.0 025 50.0 26.0 25.0 00001001\r");
  EXPECT_EQ(Q1Fixture(4).host.send("Q1\r"),
            "(230.0 230.0 230.0 025 50.0 26.0 25.0 00001001 00000000\r");
}

TEST(Q1Responder, StatusFollowsPowerFailureLowBatteryOverloadAndShutdown) {
  Q1Fixture f(4);
  UpsState& s = f.ups.state();
  s.inputVoltage = 231.4;
  s.loadPercent = 107;
  s.temperature = 31.5;
  f.ups.setMains(false, f.host.nowMs);
  f.ups.setBatteryCharge(12);
  f.ups.scheduleShutdown(f.host.nowMs, 300, -1);
  // Input 0 but the voltage before the failure kept; output from the battery;
  // utility fail, battery low, shutdown pending; overload in columns 49-50.
  //                      1        10        20        30        40        50
  //                      12345678901234567890123456789012345678901234567890123456
  EXPECT_EQ(f.host.send("Q1\r"), "(000.0 231.4 230.0 107 00.0 21.4 31.5 11001011 01100000\r");
}

TEST(Q1Responder, BoostTrimAndTestShowInTheStatusDigits) {
  Q1Fixture f(3);
  f.ups.state().inputVoltage = 200;
  EXPECT_EQ(f.host.send("Q1\r").substr(0, 47), "(200.0 200.0 230.0 025 50.0 26.0 25.0 00101001\r");
  f.ups.state().inputVoltage = 230;
  f.host.send("T\r");
  EXPECT_EQ(f.host.send("Q1\r").substr(38, 8), "00001101");
  f.host.send("CT\r");
  EXPECT_EQ(f.host.send("Q1\r").substr(38, 8), "00001001");
  EXPECT_EQ(f.ups.state().lastTest, TestResult::kAborted);
}

TEST(Q1Responder, IdentificationRatingsAndOutlets) {
  Q1Fixture three(3);
  three.ups.state().manufacturer = "ACME";
  //                                  1        10        20        30
  //                                  123456789012345678901234567890123456789
  EXPECT_EQ(three.host.send("I\r"), "#ACME            UPSSIM-1K  1.00      \r");
  EXPECT_EQ(three.host.send("F\r"), "#230.0 004 24.00 50.0\r");
  EXPECT_EQ(three.host.send("OI\r"), "#0211\r");
  three.ups.state().outletCount = 3;
  three.ups.setOutlet(2, false);
  EXPECT_EQ(three.host.send("OI\r"), "#03110\r");
  EXPECT_EQ(Q1Fixture(4).host.send("OI\r"), "(0211\r");
  EXPECT_EQ(Q1Fixture(2).host.send("OI\r"), "");
}

TEST(Q1Responder, OutletSwitchingIsAcknowledgedWithHash) {
  Q1Fixture f(3);
  EXPECT_EQ(f.host.send("O02OFF\r"), "#ACK\r");
  EXPECT_FALSE(f.ups.outletPowered(1));
  EXPECT_EQ(f.host.send("OI\r"), "#0210\r");
  EXPECT_EQ(f.host.send("O02ON\r"), "#ACK\r");
  EXPECT_TRUE(f.ups.outletPowered(1));
  EXPECT_EQ(f.host.send("O03ON\r"), "#NAK\r");
}

TEST(Q1Responder, ShutdownDelaysAsTheHostWritesThem) {
  struct Case {
    const char* command;
    int64_t delayMs;
  } cases[] = {{"S.50\r", 30'000},
               {"S.2\r", 12'000},
               {"S.98\r", 59'000},
               {"S02\r", 120'000},
               {"S05R0010\r", 300'000}};
  for (const Case& c : cases) {
    Q1Fixture f(2);
    int64_t sentAt = f.host.nowMs;
    EXPECT_EQ(f.host.send(c.command), "") << c.command;
    ASSERT_TRUE(f.ups.shutdownPending()) << c.command;
    EXPECT_EQ(f.ups.shutdownAtMs() - sentAt, c.delayMs) << c.command;
  }
}

TEST(Q1Responder, RestoreMinutesBringTheOutputBack) {
  Q1Fixture f(3);
  f.ups.state().minuteSeconds = 1;
  int64_t sentAt = f.host.nowMs;
  f.host.send("S02R0003\r");
  f.ups.advance(sentAt + 1'999);
  EXPECT_TRUE(f.ups.state().outputOn);
  f.ups.advance(sentAt + 2'000);
  EXPECT_FALSE(f.ups.state().outputOn);
  f.ups.advance(sentAt + 4'999);
  EXPECT_FALSE(f.ups.state().outputOn);
  f.ups.advance(sentAt + 5'000);
  EXPECT_TRUE(f.ups.state().outputOn);
}

TEST(Q1Responder, CancelSentWithoutLineEndIsTakenAfterSilence) {
  Q1Fixture f(3);
  f.host.send("S05\r");
  ASSERT_TRUE(f.ups.shutdownPending());
  std::vector<Exchange> out;
  f.responder.receive("C", f.host.nowMs, &out);
  f.responder.idle(f.host.nowMs + kCommandSilenceMs - 1, &out);
  EXPECT_TRUE(f.ups.shutdownPending());
  f.responder.idle(f.host.nowMs + kCommandSilenceMs, &out);
  EXPECT_FALSE(f.ups.shutdownPending());
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].request, "C");
  EXPECT_EQ(out[0].reply, "");
}

TEST(Q1Responder, GarbledCommandsAreNotObeyed) {
  for (const char* command : {"Q2\r", "S\r", "SXR\r", "S05R12345\r", "S5R\r", "S.5.5\r", "O1ON\r",
                              "O02ONN\r", "T5X\r", "T123\r", "q1\r"}) {
    Q1Fixture f(3);
    EXPECT_EQ(f.host.send(command), "") << command;
    EXPECT_FALSE(f.ups.shutdownPending()) << command;
    EXPECT_FALSE(f.ups.readings().testRunning) << command;
    EXPECT_TRUE(f.ups.outletPowered(0)) << command;
  }
}

TEST(Q1Responder, ProbesOfOtherFamiliesLeaveTheLineClean) {
  Q1Fixture f(3);
  EXPECT_EQ(f.host.send("\x01"), "");
  EXPECT_EQ(f.host.send("IS\r\n"), "");
  EXPECT_EQ(f.host.send("Q1\r").size(), 47u);
}

struct PlainFixture {
  PlainFixture() : ups(plainQ1State()), responder(4, ups, true) {}
  Ups ups;
  Q1Responder responder;
  FakeHost host{responder};
};

TEST(PlainQ1, AnswersTheCommonRepliesAndNothingElse) {
  PlainFixture f;
  //                          1        10        20        30        40
  //                          12345678901234567890123456789012345678901234567
  EXPECT_EQ(f.host.send("Q1\r"), "(230.0 230.0 230.0 025 50.0 2.27 25.0 00000001\r");
  EXPECT_EQ(f.host.send("F\r"), "#230.0 004 12.00 50.0\r");
  EXPECT_EQ(f.host.send("I\r"), "#PLAINPOWER      PQ-1000    1.00      \r");
  for (const char* command : {"OI\r", "O01ON\r", "O01OFF\r", "Q2\r", "QS\r", "M\r", "IS\r\n"}) {
    EXPECT_EQ(f.host.send(command), "") << command;
  }
  EXPECT_TRUE(f.ups.state().outputOn);
  EXPECT_EQ(f.host.send("Q1\r").size(), 47u);
}

TEST(PlainQ1, ObeysTheCommandsThatNeverReply) {
  PlainFixture f;
  EXPECT_EQ(f.host.send("T\r"), "");
  EXPECT_TRUE(f.ups.readings().testRunning);
  EXPECT_EQ(f.host.send("CT\r"), "");
  EXPECT_FALSE(f.ups.readings().testRunning);
  EXPECT_EQ(f.host.send("T02\r"), "");
  EXPECT_TRUE(f.ups.readings().testRunning);
  EXPECT_EQ(f.host.send("Q\r"), "");
  EXPECT_FALSE(f.ups.state().beeper);
  EXPECT_EQ(f.host.send("S.5R0001\r"), "");
  EXPECT_TRUE(f.ups.shutdownPending());
  EXPECT_EQ(f.host.send("C\r"), "");
  EXPECT_FALSE(f.ups.shutdownPending());
}

TEST(PlainQ1, StatusDigitsFollowPowerFailureLowBatteryAndShutdown) {
  PlainFixture f;
  f.ups.setMains(false, f.host.nowMs);
  // Utility fail is the first digit; the output is fed from the battery.
  EXPECT_EQ(f.host.send("Q1\r"), "(000.0 230.0 230.0 025 00.0 2.27 25.0 10000001\r");
  f.ups.setBatteryCharge(10);
  f.ups.scheduleShutdown(f.host.nowMs, 300, -1);
  std::string reply = f.host.send("Q1\r");
  ASSERT_EQ(reply.size(), 47u);
  EXPECT_EQ(reply.substr(38, 8), "11000011");
  EXPECT_LT(reply.substr(28, 4), "2.27");
  f.ups.setMains(true, f.host.nowMs);
  f.host.send("C\r");
  EXPECT_EQ(f.host.send("Q1\r").substr(38, 8), "01000001");
}

}  // namespace
}  // namespace orvik::upssim
