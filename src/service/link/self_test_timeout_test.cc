#include "service/link/self_test_timeout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/fake_platform.h"
#include "service/link/link_test_support.h"
#include "service/link/poll_cycle.h"
#include "service/link/serial_link.h"

namespace orvik {
namespace {

constexpr unsigned kOnBattery = 1;
constexpr unsigned kTestInProgress = 23;

// The phases of a self-test, as the UPS's status and result replies show them.
enum Phase { kOnLine, kTesting, kAfterTest, kPowerFail };

struct Family {
  int protocol;
  std::string statusCommand;
  std::string status[4];  // by phase
  std::string resultCommand;
  std::string result[4];
  // Identity replies ("IS" tells the two-letter models apart).
  std::vector<std::pair<std::string, std::string>> identity;
};

std::string binaryFrame(char status, char testByte) {
  std::string frame(16, '\0');
  frame[0] = 25, frame[1] = 100, frame[2] = frame[3] = 115, frame[4] = frame[6] = 50;
  frame[9] = status;     // bit 0: on battery
  frame[10] = testByte;  // bit 2: test running
  frame[11] = 'K';
  return frame;
}

// Six status digits: 39 on battery, 44 test running.
std::string q1Status(const std::string& digits) {
  return "(230.0 230.0 230.0 025 50.0 2.27 25.0 " + digits + "\r";
}

// The poll task on the fake clock with a scripted UPS on COM1 that answers
// every two-letter command it does not watch.
struct Rig {
  Rig() {
    std::memset(&record, 0, sizeof record);
    applyUpsStartValues(record);
    EXPECT_EQ(link.openPort(kUpsSlot, 0), 0);
    for (const char* command :
         {"BS", "BV", "BT", "NF", "NV", "OF", "OV", "OL", "OS", "IM", "IO", "IZ", "FV", "FF",
          "FO", "FR", "FA", "FP", "ON", "BD", "CA", "FU", "FL", "FH", "FT", "FB", "Ts"}) {
      answer(std::string(command) + "\r\n", "100\r\n");
    }
  }
  void answer(const std::string& command, const std::string& reply) {
    ups.answer(command, {ReplyChunk{5, reply}});
  }
  void play(const Family& f, Phase phase) {
    answer(f.statusCommand, f.status[phase]);
    if (!f.resultCommand.empty()) answer(f.resultCommand, f.result[phase]);
  }
  bool bit(unsigned n) const { return (record.alarmFlags >> n) & 1; }
  int64_t now() { return fake.clock.monotonicMs(); }
  // Steps until the bit is set or untilMs of fake time have passed.
  void stepUntilSet(unsigned n, int64_t untilMs) {
    while (!bit(n) && now() < untilMs) cycle.pollStep();
  }

  FakePlatform fake;
  FakeSerialDevice& ups = fake.serial.device("COM1");
  SerialLink link{fake.platform()};
  std::unique_ptr<StatusRecord> owned = std::make_unique<StatusRecord>();
  StatusRecord& record = *owned;
  std::atomic<int32_t> pollingStopped{0};
  bool testQueued = false;
  PollCycle cycle{link,
                  fake.clock,
                  record,
                  link_test::repositoryFile("data/ident.ini"),
                  pollingStopped,
                  [this](QueuedCommand* out) {
                    *out = {kCommandTest, 0};
                    return std::exchange(testQueued, false);
                  }};
};

// A self-test must not hide the power failures after it. Families whose
// tables poll a test result end the test by it; protocol 5 polls none and
// ends it by the time-out.
TEST(SelfTest, PowerFailureAfterASelfTestIsSeenInEveryFamily) {
  const Family families[] = {
      {1,
       "\x01",
       {binaryFrame(0, 0), binaryFrame(1, 4), binaryFrame(0, 0), binaryFrame(1, 0)},
       "",
       {},
       {}},
      // "OI\r" ends in "I\r", so the scripted unit answers it: protocol 3.
      {3,
       "Q1\r",
       {q1Status("000000"), q1Status("100001"), q1Status("000000"), q1Status("100000")},
       "",
       {},
       {{"I\r", "#ACME-POWER      VALUE-1000 V01.02.0003\r"}, {"F\r", "#230.0 004 24.00 50.0\r"}}},
      {6,
       "AG\r\n",
       {"00\r\n", "20\r\n", "00\r\n", "20\r\n"},
       "TR\r\n",
       {"006\r\n", "005\r\n", "001\r\n", "001\r\n"},
       {{"IS\r\n", "B2.05\r"}}},
      {5,
       "AG\r\n",
       {"00\r\n", "20\r\n", "00\r\n", "20\r\n"},
       "TR\r\n",
       {"006\r\n", "005\r\n", "001\r\n", "001\r\n"},
       {{"IS\r\n", "T2.10\r"}}},
  };
  for (const Family& f : families) {
    SCOPED_TRACE("protocol " + std::to_string(f.protocol));
    Rig rig;
    for (const auto& [command, reply] : f.identity) rig.answer(command, reply);
    rig.play(f, kOnLine);
    // Identification and the groups read once after it.
    for (int i = 0; i < 80; ++i) rig.cycle.pollStep();
    ASSERT_EQ(rig.cycle.protocolNumber(), f.protocol);
    ASSERT_TRUE(rig.cycle.linkIdentified());

    const int64_t started = rig.now();
    rig.testQueued = true;
    rig.play(f, kTesting);
    rig.cycle.pollStep();
    ASSERT_TRUE(rig.bit(kTestInProgress));
    // The test runs on battery: that is no power failure.
    rig.stepUntilSet(kOnBattery, rig.now() + 10'000);
    EXPECT_FALSE(rig.bit(kOnBattery));

    rig.play(f, kAfterTest);
    rig.stepUntilSet(kOnBattery, rig.now() + 10'000);
    const bool reportsResult = f.protocol != 5;
    EXPECT_EQ(rig.bit(kTestInProgress), !reportsResult);
    rig.play(f, kPowerFail);
    rig.stepUntilSet(kOnBattery, started + kUnreportedTestMs + 30'000);
    EXPECT_TRUE(rig.bit(kOnBattery));
    EXPECT_FALSE(rig.bit(kTestInProgress));
    const int64_t seenAfter = rig.now() - started;
    if (reportsResult) {
      EXPECT_LT(seenAfter, 30'000) << "seen through the test result, not the time-out";
    } else {
      // Seen once the test has timed out, a lap later at most.
      EXPECT_GE(seenAfter, kUnreportedTestMs);
      EXPECT_LE(seenAfter, kUnreportedTestMs + 15'000);
    }
  }

  // Whether a result is polled is read from the tables as they are now: a
  // result command that lost its poll flag no longer ends a test.
  link_test::LinkFixture f(6);
  setFlagBit(f.record.alarmFlags, kTestInProgress, true);
  f.ctx.testStartedMs = f.clock.monotonicMs();
  f.clock.advanceMs(kUnreportedTestMs);
  endUnreportedTest(f.ctx, f.tables);
  EXPECT_TRUE(f.alarmBit(kTestInProgress)) << "\"TR\" is polled";
  for (CommandRecord& command : f.tables.groups[0].commands) {
    if (std::string_view(command.commandText) == "TR") command.pollEnabled = 0;
  }
  endUnreportedTest(f.ctx, f.tables);
  EXPECT_FALSE(f.alarmBit(kTestInProgress));
}

}  // namespace
}  // namespace orvik
