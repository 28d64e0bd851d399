#include "service/link/poll_cycle.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>

#include "platform/fake_platform.h"
#include "service/link/link_test_support.h"
#include "service/link/serial_link.h"
#include "service/link/table_exchange.h"

namespace orvik {
namespace {

// A "Q1" status reply of exactly length bytes.
std::string q1Reply(int length) {
  return "(230.0 230.0 230.0 025 50.0 26.0 25.0 " + std::string(length - 39, '0') + "\r";
}

// The service's poll task on the fake clock, with a scripted UPS on COM1.
struct PollRig {
  PollRig() {
    std::memset(&record, 0, sizeof record);
    applyUpsStartValues(record);
    EXPECT_EQ(link.openPort(kUpsSlot, 0), 0);
  }

  void answer(const std::string& command, const std::string& reply) {
    ups.answer(command,
               reply.empty() ? std::vector<ReplyChunk>{} : std::vector{ReplyChunk{5, reply}});
  }
  // Every command of the two-letter tables gets a plausible reply.
  void answerTwoLetter(const std::string& version) {
    for (const char* command :
         {"BS", "BV", "BT", "NF", "NV", "OF", "OV", "OL", "OS", "AG", "TR", "IM", "IO", "IZ", "FV",
          "FF", "FO", "FR", "FA", "FP", "ON", "BD", "CA", "FU", "FL", "FH", "FT", "FB", "Ts"}) {
      answer(std::string(command) + "\r\n", "100\r");
    }
    answer("IS\r\n", version + "\r");
  }
  // What the steps wrote to the UPS.
  std::string steps(int count) {
    const std::size_t before = ups.writtenText().size();
    for (int i = 0; i < count; ++i) cycle.pollStep();
    return ups.writtenText().substr(before);
  }
  bool communicationLost() const { return (record.alarmFlags >> kCommunicationLostBit) & 1; }
  int64_t now() { return fake.clock.monotonicMs(); }

  FakePlatform fake;
  FakeSerialDevice& ups = fake.serial.device("COM1");
  SerialLink link{fake.platform()};
  std::unique_ptr<StatusRecord> owned = std::make_unique<StatusRecord>();
  StatusRecord& record = *owned;
  std::atomic<int32_t> pollingStopped{0};
  std::deque<QueuedCommand> queue;
  PollCycle cycle{link,
                  fake.clock,
                  record,
                  link_test::repositoryFile("data/ident.ini"),
                  pollingStopped,
                  [this](QueuedCommand* out) {
                    if (queue.empty()) return false;
                    *out = queue.front();
                    queue.pop_front();
                    return true;
                  }};
};

TEST(PollCycle, SilentUpsIsDeclaredLostOnlyAfterTheThirdRoundAndProbingGoesOn) {
  PollRig rig;
  const int64_t start = rig.now();
  // Nine candidates, then a step that only closes the round.
  EXPECT_EQ(rig.steps(10), "\x01OI\rQ1\rOI\rQ1\rOI\rQ1\rIS\r\nIS\r\nIS\r\nIS\r\nIS\r\n");
  // Each of the twelve probes lasts the 60 ms flush, its bytes times the
  // candidate's delay, the settle time and the whole time-out, and silence
  // is noticed 1 ms after that.
  EXPECT_EQ(rig.now() - start, 1090 + 3 * 2260 + 670 + 750 + 750 + 1160 + 750 + 12);
  const std::vector<AppliedSettings> applied = rig.ups.applied();
  ASSERT_GE(applied.size(), 3u);
  EXPECT_EQ(applied[1].settings.baudRate, 1200u);
  EXPECT_EQ(applied[2].settings.baudRate, 2400u);

  rig.steps(19);
  EXPECT_FALSE(rig.communicationLost());
  EXPECT_EQ(rig.steps(1), "");
  EXPECT_TRUE(rig.communicationLost());
  EXPECT_EQ(rig.steps(2), "\x01OI\rQ1\r");
  EXPECT_TRUE(rig.communicationLost());
}

TEST(PollCycle, Q1ProbeTellsTheVariantsApartAndTheSameStepPolls) {
  struct Case {
    std::string oiReply, q1Reply;
    int protocol;
    std::string wire;  // the identifying step's probes, then the first table command
  } cases[] = {
      {"#0211\r", q1Reply(45), 3, "OI\rOI\r"},
      {"", q1Reply(45), 2, "OI\rQ1\rQ1\r"},
      {"", q1Reply(46), 4, "OI\rQ1\rOI\r"},
      {"(0211\r", q1Reply(56), 4, "OI\rQ1\rOI\r"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.oiReply + " / " + std::to_string(c.q1Reply.size()));
    PollRig rig;
    rig.answer("OI\r", c.oiReply);
    rig.answer("Q1\r", c.q1Reply);
    rig.steps(1);
    EXPECT_EQ(rig.steps(1).substr(0, c.wire.size()), c.wire);
    EXPECT_EQ(rig.cycle.protocolNumber(), c.protocol);
    EXPECT_EQ(loadField(rig.record.protocolInUse), c.protocol);
  }
}

TEST(PollCycle, WhileOutputIsExpectedOffEveryPollStepDeclaresTheLinkLost) {
  PollRig rig;
  rig.answer("OI\r", "#0211\r");
  rig.answer("Q1\r", q1Reply(47));
  rig.steps(3);
  ASSERT_TRUE(rig.cycle.linkIdentified());
  setFlagBit(rig.record.alarmFlags, kShutdownImminentBit, true);
  EXPECT_EQ(rig.steps(1), "");
  EXPECT_TRUE(rig.communicationLost());
  for (int i = 0; i < 3; ++i) {
    // The probe finds the UPS again, and the poll gives it up at once.
    EXPECT_EQ(rig.steps(1), "OI\r");
    EXPECT_TRUE(rig.communicationLost());
  }
  setFlagBit(rig.record.alarmFlags, kShutdownImminentBit, false);
  rig.answer("I\r", "#ACME-POWER      VALUE-1000 1.0       \r");
  // The loss enabled group 2 again.
  EXPECT_EQ(rig.steps(1), "OI\rI\r");
  EXPECT_FALSE(rig.communicationLost());
}

TEST(PollCycle, CommandFailingTwiceLosesTheLinkAtOnceAndTheSearchResumesAtTheProtocolInUse) {
  PollRig rig;
  rig.answerTwoLetter("C1.02");
  rig.steps(6);
  EXPECT_EQ(rig.steps(1), "IS\r\nBD\r\n");
  EXPECT_EQ(rig.cycle.protocolNumber(), 7);
  // Round the tables once, so that every polled command has answered.
  rig.steps(40);

  rig.answer("BS\r\n", "");
  std::string wire;
  int64_t start = 0;
  for (int i = 0; i < 20 && !wire.starts_with("BS"); ++i) {
    start = rig.now();
    wire = rig.steps(1);
  }
  EXPECT_EQ(wire, "BS\r\nBS\r\nBS\r\nBS\r\n");
  // Two exchanges (sent, then once more for the silence), 600 ms, two more.
  EXPECT_EQ(rig.now() - start, 4 * (750 + 1) + 600);
  EXPECT_TRUE(rig.communicationLost());
  EXPECT_EQ(loadField(rig.record.protocolInUse), 0);

  rig.answer("BS\r\n", "1\r");
  EXPECT_EQ(rig.steps(1), "IS\r\nBV\r\n");
  EXPECT_FALSE(rig.communicationLost());
  EXPECT_EQ(loadField(rig.record.protocolInUse), 7);
}

// Units in the field answer only part of their protocol's tables.
TEST(PollCycle, CommandNeverAnsweredIsLeftOutWhileOneThatAnsweredBeforeStillLosesTheLink) {
  {
    SCOPED_TRACE("a plain Q1 unit: no OI");
    PollRig rig;
    rig.answer("Q1\r", "(230.0 230.0 230.0 023 50.0 2.27 25.0 00000001\r");
    rig.answer("I\r", "#ACME-POWER      VALUE-1000 1.0       \r");
    rig.answer("F\r", "#230.0 004 12.00 50.0\r");
    rig.answer("OI\r", "");
    EXPECT_EQ(rig.steps(2), "\x01OI\rQ1\rOI\rOI\rOI\rOI\r");
    ASSERT_EQ(rig.cycle.protocolNumber(), 4);
    std::string wire;
    for (const int64_t start = rig.now(); rig.now() - start < 120000;) wire += rig.steps(1);
    EXPECT_FALSE(rig.communicationLost());
    EXPECT_EQ(wire.find("OI"), std::string::npos);
    EXPECT_EQ(wire.substr(0, 10), "Q1\rI\rF\rQ1\r");
    EXPECT_GT(wire.size(), 80u * 3);
    rig.answer("Q1\r", "");
    // Sent, and once more 600 ms later: a silent unit is reported lost
    // within about three seconds.
    const int64_t silentSince = rig.now();
    EXPECT_EQ(rig.steps(1), "Q1\rQ1\r");
    EXPECT_TRUE(rig.communicationLost());
    EXPECT_LT(rig.now() - silentSince, 3000);
  }
  {
    SCOPED_TRACE("a two-letter unit without a serial number");
    PollRig rig;
    rig.answerTwoLetter("C1.02");
    rig.answer("IZ\r\n", "");
    rig.steps(7);
    ASSERT_TRUE(rig.cycle.linkIdentified());
    rig.record.inputNumLines = rig.record.outputNumLines = 5;
    const std::string wire = rig.steps(40);
    EXPECT_NE(wire.find("IZ\r\nIZ\r\nIZ\r\nIZ\r\nFV\r\n"), std::string::npos) << wire;
    EXPECT_FALSE(rig.communicationLost());
    // The fixed replies after it are not failed by its silence.
    EXPECT_EQ(rig.record.inputNumLines, 1);
    EXPECT_EQ(rig.record.outputNumLines, 1);
    EXPECT_EQ(rig.steps(40).find("IZ"), std::string::npos);
  }
  {
    SCOPED_TRACE("a binary unit whose every status frame is implausible");
    PollRig rig;
    std::string frame(16, '\0');
    frame[4] = 99;
    rig.answer("\x01", frame);
    // Identified, then nothing is left to poll in group 1.
    EXPECT_EQ(rig.steps(1), "\x01\x01\x01");
    EXPECT_TRUE(rig.communicationLost());
    EXPECT_FALSE(rig.cycle.linkIdentified());
  }
}

TEST(PollCycle, QueuedCommandTakesTheStepAndGroupThreeIsReadBackAfterIt) {
  PollRig rig;
  rig.answerTwoLetter("B2.05");
  // Identification, then groups 3, 1, 2 and 3 again, then group 1 only.
  rig.steps(6 + 40);
  const std::string lap = rig.steps(10);
  EXPECT_EQ(lap.find("BD"), std::string::npos) << lap;

  rig.queue.push_back({kCommandTest, 0});
  EXPECT_EQ(rig.steps(1), "Ts\r\n");
  EXPECT_NE(rig.steps(14).find("BD\r\nCA\r\nFU\r\nFT\r\n"), std::string::npos);

  rig.pollingStopped = 1;
  EXPECT_EQ(rig.steps(3), "");
  rig.queue.push_back({kCommandTest, 0});
  EXPECT_EQ(rig.steps(1), "Ts\r\n");
}

TEST(PollCycle, PortChangeReopensTheConfiguredPortAtTheSpeedOfTheProtocolInUse) {
  PollRig rig;
  std::string frame(16, '\0');
  frame[0] = 25, frame[4] = 50, frame[6] = 50, frame[11] = 'K';
  rig.answer("\x01", frame);
  rig.steps(1);
  ASSERT_EQ(rig.cycle.protocolNumber(), 1);
  FakeSerialDevice& com2 = rig.fake.serial.device("COM2");
  rig.record.upsport = 1;
  rig.queue.push_back({kCommandReopenPort, 0});
  rig.steps(1);
  EXPECT_EQ(rig.fake.serial.openedNames().back(), "COM2");
  EXPECT_EQ(rig.ups.openPorts(), 0);
  ASSERT_FALSE(com2.applied().empty());
  EXPECT_EQ(com2.applied().back().settings.baudRate, 1200u);
}

}  // namespace
}  // namespace orvik
