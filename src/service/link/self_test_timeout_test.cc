#include "service/link/self_test_timeout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>

#include "platform/fake_platform.h"
#include "service/link/link_test_support.h"
#include "service/link/poll_cycle.h"
#include "service/link/serial_link.h"

namespace orvik {
namespace {

// A UPS in one of the states of a self-test, as each family's replies show it.
struct UpsScript {
  int protocol;
  // command -> reply while on mains, testing on battery, back on mains after
  // the test, and in a power failure. Commands not listed keep their reply.
  std::vector<std::pair<std::string, std::string>> always, onLine, testing, afterTest, powerFail;
};

std::string binaryFrame(char status, char testByte) {
  std::string frame(16, '\0');
  frame[0] = 25, frame[1] = 100, frame[2] = frame[3] = 115, frame[4] = frame[6] = 50;
  frame[9] = status;     // bit 0: on battery
  frame[10] = testByte;  // bit 2: test running
  frame[11] = 'K';
  return frame;
}

// Six status digits: a 45-byte reply.
std::string q1Status(const std::string& digits) {
  return "(230.0 230.0 230.0 025 50.0 2.27 25.0 " + digits + "\r";
}

std::vector<std::pair<std::string, std::string>> twoLetterAnswers(const std::string& version) {
  std::vector<std::pair<std::string, std::string>> answers;
  for (const char* command :
       {"BS", "BV", "BT", "NF", "NV", "OF", "OV", "OL", "OS", "IM", "IO", "IZ", "FV", "FF",
        "FO", "FR", "FA", "FP", "ON", "BD", "CA", "FU", "FL", "FH", "FT", "FB", "Ts"}) {
    answers.emplace_back(std::string(command) + "\r\n", "100\r\n");
  }
  answers.emplace_back("IS\r\n", version + "\r");
  return answers;
}

// The poll task on the fake clock with a scripted UPS on COM1.
struct Rig {
  explicit Rig(const UpsScript& script) {
    std::memset(&record, 0, sizeof record);
    applyUpsStartValues(record);
    EXPECT_EQ(link.openPort(kUpsSlot, 0), 0);
    play(script.always);
    play(script.onLine);
  }
  void play(const std::vector<std::pair<std::string, std::string>>& answers) {
    for (const auto& [command, reply] : answers) ups.answer(command, {ReplyChunk{5, reply}});
  }
  bool bit(unsigned n) const { return (record.alarmFlags >> n) & 1; }
  // Steps until the bit has the value or untilMs of fake time have passed;
  // whether it got there.
  bool stepUntil(unsigned n, bool value, int64_t untilMs) {
    while (bit(n) != value && fake.clock.monotonicMs() < untilMs) cycle.pollStep();
    return bit(n) == value;
  }
  void stepFor(int64_t ms) {
    for (const int64_t until = now() + ms; now() < until;) cycle.pollStep();
  }
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

constexpr unsigned kOnBattery = 1;
constexpr unsigned kTestInProgress = 23;

// A self-test must not hide the power failures after it. Families whose
// tables poll a test result end the test by it; protocol 5 polls none and
// ends it by the time-out.
TEST(SelfTest, PowerFailureAfterASelfTestIsSeenInEveryFamily) {
  const UpsScript scripts[] = {
      {.protocol = 1,
       .always = {},
       .onLine = {{"\x01", binaryFrame(0, 0)}},
       .testing = {{"\x01", binaryFrame(1, 4)}},
       .afterTest = {{"\x01", binaryFrame(0, 0)}},
       .powerFail = {{"\x01", binaryFrame(1, 0)}}},
      // The scripted unit answers "OI\r" as "I\r", whose end it is: protocol 3.
      {.protocol = 3,
       .always = {{"I\r", "#ACME-POWER      VALUE-1000 V01.02.0003\r"},
                  {"F\r", "#230.0 004 24.00 50.0\r"}},
       .onLine = {{"Q1\r", q1Status("000000")}},
       .testing = {{"Q1\r", q1Status("100001")}},
       .afterTest = {{"Q1\r", q1Status("000000")}},
       .powerFail = {{"Q1\r", q1Status("100000")}}},
      {.protocol = 6,
       .always = twoLetterAnswers("B2.05"),
       .onLine = {{"AG\r\n", "00\r\n"}, {"TR\r\n", "006\r\n"}},
       .testing = {{"AG\r\n", "20\r\n"}, {"TR\r\n", "005\r\n"}},
       .afterTest = {{"AG\r\n", "00\r\n"}, {"TR\r\n", "001\r\n"}},
       .powerFail = {{"AG\r\n", "20\r\n"}}},
      {.protocol = 5,
       .always = twoLetterAnswers("T2.10"),
       .onLine = {{"AG\r\n", "00\r\n"}, {"TR\r\n", "006\r\n"}},
       .testing = {{"AG\r\n", "20\r\n"}, {"TR\r\n", "005\r\n"}},
       .afterTest = {{"AG\r\n", "00\r\n"}, {"TR\r\n", "001\r\n"}},
       .powerFail = {{"AG\r\n", "20\r\n"}}},
  };
  for (const UpsScript& script : scripts) {
    SCOPED_TRACE("protocol " + std::to_string(script.protocol));
    Rig rig(script);
    // Identification and the groups read once after it.
    for (int i = 0; i < 80; ++i) rig.cycle.pollStep();
    ASSERT_TRUE(rig.cycle.linkIdentified());
    ASSERT_EQ(rig.cycle.protocolNumber(), script.protocol);
    ASSERT_FALSE(rig.bit(kOnBattery));

    const int64_t started = rig.now();
    rig.queue.push_back({kCommandTest, 0});
    rig.play(script.testing);
    rig.cycle.pollStep();
    ASSERT_TRUE(rig.bit(kTestInProgress));
    // The test runs on battery: that is no power failure.
    rig.stepFor(10'000);
    EXPECT_FALSE(rig.bit(kOnBattery));

    rig.play(script.afterTest);
    rig.stepFor(10'000);
    const bool reportsResult = script.protocol != 5;
    EXPECT_EQ(rig.bit(kTestInProgress), !reportsResult);
    rig.play(script.powerFail);
    EXPECT_TRUE(rig.stepUntil(kOnBattery, true, started + kUnreportedTestMs + 30'000));
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
