// What goes out on the line for each control command, by protocol family:
// the hand-made formats, the table-composed commands with their checksum
// byte, and what is refused.
#include "service/link/ups_commands.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "service/link/command_composer.h"
#include "service/link/link_test_support.h"

namespace orvik {
namespace {

using link_test::LinkFixture;

struct Sent {
  std::string bytes;
  int interByteDelayMs, settleMs, terminator, maxLength, timeoutMs;
};

// The UPS line: records every exchange and answers from a script (then silence).
struct FakeLine {
  std::vector<Sent> sent;
  std::deque<std::string> replies;

  Exchange exchange() {
    return [this](const uint8_t* bytes, int count, int interByteDelayMs, int settleMs, char* reply,
                  int* replyCount, int terminator, int maxLength, int timeoutMs) {
      sent.push_back({std::string(reinterpret_cast<const char*>(bytes), count), interByteDelayMs,
                      settleMs, terminator, maxLength, timeoutMs});
      *replyCount = 0;
      if (!replies.empty()) {
        const std::string r = replies.front().substr(0, maxLength);
        replies.pop_front();
        r.copy(reply, r.size());
        *replyCount = static_cast<int>(r.size());
      }
      return *replyCount;
    };
  }

  std::vector<std::string> bytesSent() const {
    std::vector<std::string> out;
    for (const Sent& s : sent) out.push_back(s.bytes);
    return out;
  }
};

struct CommandFixture : LinkFixture {
  explicit CommandFixture(int protocol) : LinkFixture(protocol) {}
  int run(uint32_t number, int32_t argument) {
    return executeUpsCommand(ctx, tables, line.exchange(), number, argument);
  }
  FakeLine line;
};

using Lines = std::vector<std::string>;

TEST(TableCommands, TwoLetterCommandsComposedFromTheirRecords) {
  struct Case {
    uint32_t number;
    int32_t argument;
    const char* bytes;
    int maxLength;
  };
  const Case cases[] = {
      {407, 5, "Fb05\r\n", 6},
      {409, 93, "Fl093\r\n", 7},
      {410, 151, "Fh151\r\n", 7},
      {4132, 120, "Bd00120\r\n", 9},
      {369, 0, "Ts\r\n", 4},
      {66145, 0x10001, "Oi11\r\n", 6},
      {66145, 0x00003, "Oi03\r\n", 6},
      {389, 1, "Fa01\r\n", 6},
      {385, 2, "Ct02\r\n", 6},
      {388, 7, "Cr07\r\n", 6},
      // "Fu" is one byte shorter than its length: the checksum byte goes out.
      {408, 2, "Fu2\r\n@", 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.number) + " " + std::to_string(c.argument));
    CommandFixture f(7);
    EXPECT_EQ(f.run(c.number, c.argument), 0);
    ASSERT_EQ(f.line.sent.size(), 1u);
    const Sent& s = f.line.sent[0];
    EXPECT_EQ(s.bytes, c.bytes);
    EXPECT_EQ(s.maxLength, c.maxLength);
    EXPECT_EQ(s.timeoutMs, 1000);
    EXPECT_EQ(s.interByteDelayMs, 0);
    EXPECT_EQ(s.settleMs, 10);
    EXPECT_EQ(s.terminator, 10);
  }
}

TEST(TableCommands, DisallowedValuesAndUnknownNumbersSendNothing) {
  struct Case {
    int protocol;
    uint32_t number;
    int32_t argument;
  };
  const Case cases[] = {
      {7, 407, 3}, {7, 409, 90}, {7, 410, 150}, {7, 4132, 32001}, {7, 4132, -1},  {7, 401, 0},
      {7, 404, 0}, {2, 388, 0},  {2, 407, 5},   {3, 66146, 1},    {1, 4132, 120}, {5, 66149, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.protocol) + ": " + std::to_string(c.number));
    CommandFixture f(c.protocol);
    EXPECT_EQ(f.run(c.number, c.argument), 1);
    EXPECT_TRUE(f.line.sent.empty());
  }
}

TEST(TableCommands, TestCommandMarksATestInProgress) {
  struct Case {
    int protocol;
    std::string bytes;
  };
  const Case cases[] = {{1, std::string(1, '\x03')}, {2, "T\r"}, {9, "Ts\r\n"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.protocol);
    CommandFixture f(c.protocol);
    f.clock.advanceMs(12'345);
    f.record.serviceStartTicks = 100;
    EXPECT_EQ(f.run(369, 0), 0);
    EXPECT_EQ(f.line.bytesSent(), Lines{c.bytes});
    EXPECT_EQ(f.record.testResultsSummary, 5);
    EXPECT_EQ(f.record.testStartTicks, 1134);  // 12345 ms / 10 - 100
    EXPECT_TRUE(f.alarmBit(23));
  }
  // No protocol: nothing is sent, and no test is marked as running.
  CommandFixture none(0);
  EXPECT_EQ(none.run(369, 0), 1);
  EXPECT_TRUE(none.line.sent.empty());
  EXPECT_EQ(none.record.testResultsSummary, 6);
  EXPECT_FALSE(none.alarmBit(23));
}

TEST(SwitchOff, Q1FormatsByDelayAndRestoreTime) {
  struct Case {
    int32_t restore;  // -2: no restore-time command before
    int32_t delay;
    const char* bytes;
  };
  const Case cases[] = {
      {-2, 30, "S.50\r"},
      {-2, 1, "S.2\r"},
      {-2, 0, "S.2\r"},
      {-2, 59, "S.98\r"},
      {-2, 120, "S02\r"},
      {-2, 6000, "S100\r"},
      {600, 300, "S05R0010\r"},
      {30, 300, "S05R0001\r"},
      {600, 30, "S.50R0010\r"},
      {59, 30, "S.50R0001\r"},
      {0, 300, "S05\r"},
      {-1, 300, "S05\r"},
      {-2, -1, "C"},
      {600, -1, "C"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.restore) + " " + std::to_string(c.delay));
    CommandFixture f(2);
    if (c.restore != -2) {
      EXPECT_EQ(f.run(387, c.restore), 0);
      EXPECT_TRUE(f.line.sent.empty()) << "the restore time only waits";
    }
    EXPECT_EQ(f.run(386, c.delay), 0);
    ASSERT_EQ(f.line.sent.size(), 1u);
    EXPECT_EQ(f.line.sent[0].bytes, c.bytes);
    EXPECT_EQ(f.line.sent[0].maxLength, 20);
    EXPECT_EQ(f.line.sent[0].timeoutMs, 600);
    EXPECT_EQ(f.ctx.pendingRestoreSeconds, -1);
  }
}

TEST(SwitchOff, Q1RestoreTimeIsForgottenAfterOneSwitchOff) {
  CommandFixture f(3);
  f.run(387, 600);
  f.run(386, 300);
  f.run(386, 300);
  EXPECT_EQ(f.line.bytesSent(), (Lines{"S05R0010\r", "S05\r"}));
}

TEST(SwitchOff, Q1DelayBelowMinusOneOnlyReadsTheLine) {
  CommandFixture f(2);
  f.run(387, 600);
  EXPECT_EQ(f.run(386, -5), 0);
  ASSERT_EQ(f.line.sent.size(), 1u);
  EXPECT_EQ(f.line.sent[0].bytes, "");
  EXPECT_EQ(f.ctx.pendingRestoreSeconds, -1);
}

TEST(SwitchOff, BinaryFrameByteByByte) {
  struct Case {
    int32_t restore;
    bool onBattery;
    int32_t delay;
    std::string frame;
  };
  const Case cases[] = {
      {-2, false, 300, std::string("\x04\x76\x1D\xBA\xBC\x05\x00", 7)},
      {-2, true, 125, std::string("\x04\x76\x1D\xB9\xBC\x02\x05", 7)},
      {600, false, 300, std::string("\x04\x00\x0A\xBA\xBC\x05\x00", 7)},
      {30, false, 59, std::string("\x04\x00\x01\xBA\xBC\x00\x3B", 7)},
      {59, false, 60, std::string("\x04\x00\x00\xBA\xBC\x01\x00", 7)},
      {59'000, false, 60, std::string("\x04\x03\xDA\xBA\xBC\x01\x00", 7)},  // 983 minutes
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.restore) + " " + std::to_string(c.delay));
    CommandFixture f(1);
    if (c.onBattery) f.record.alarmFlags |= 0x02;
    if (c.restore != -2) f.run(387, c.restore);
    EXPECT_EQ(f.run(386, c.delay), 0);
    ASSERT_EQ(f.line.sent.size(), 1u);
    EXPECT_EQ(f.line.sent[0].bytes, c.frame);
    EXPECT_EQ(f.line.sent[0].maxLength, 7);
    EXPECT_EQ(f.line.sent[0].timeoutMs, 600);
    EXPECT_EQ(f.ctx.pendingRestoreSeconds, -1);
  }
}

TEST(SwitchOff, TwoLetterSendsTypeAndAutoRestartFirst) {
  CommandFixture f(8);
  f.ctx.pendingRestoreSeconds = 600;
  EXPECT_EQ(f.run(386, 300), 0);
  EXPECT_EQ(f.line.bytesSent(), (Lines{"Ct1", "Ca0", "Cs0000300\r\n"}));
  EXPECT_EQ(f.clock.sleptMs(), 100);
  EXPECT_EQ(f.ctx.pendingRestoreSeconds, -1);
  for (const Sent& s : f.line.sent) {
    EXPECT_EQ(s.maxLength, 20);
    EXPECT_EQ(s.timeoutMs, 600);
  }

  CommandFixture cancel(5);
  EXPECT_EQ(cancel.run(386, -1), 0);
  EXPECT_EQ(cancel.line.bytesSent(), (Lines{"Ct1", "Ca0", "Cs-000001"}));
}

TEST(RestoreTime, TwoLetterSendsItAtOnce) {
  CommandFixture f(6);
  EXPECT_EQ(f.run(387, 600), 0);
  EXPECT_EQ(f.line.bytesSent(), Lines{"Cu0000600\r\n"});
  EXPECT_EQ(f.line.sent[0].maxLength, 20);
  EXPECT_EQ(f.ctx.pendingRestoreSeconds, 600);
}

TEST(SwitchOffAndRestore, WithoutAProtocolNothingIsSent) {
  CommandFixture f(0);
  EXPECT_EQ(f.run(387, 600), 1);
  EXPECT_EQ(f.run(386, 300), 1);
  EXPECT_EQ(f.run(66145, 0x10000), 1);
  EXPECT_TRUE(f.line.sent.empty());
}

TEST(Outlet, Q1RetriesUntilTheUnitAcknowledges) {
  CommandFixture f(3);
  f.line.replies = {"", "?", "#"};
  EXPECT_EQ(f.run(66145, 0x10000), 0);
  EXPECT_EQ(f.line.bytesSent(), (Lines{"O01ON\r", "O01ON\r", "O01ON\r"}));
  EXPECT_EQ(f.clock.sleptMs(), 3000);
  EXPECT_EQ(f.line.sent[0].maxLength, 20);
  EXPECT_EQ(f.line.sent[0].timeoutMs, 600);

  CommandFixture silent(2);
  EXPECT_EQ(silent.run(66145, 0x00001), 0);
  EXPECT_EQ(silent.line.bytesSent(), Lines(5, "O02OFF\r"));
  EXPECT_EQ(silent.clock.sleptMs(), 5000);

  CommandFixture other(2);
  other.line.replies = {"#"};
  other.run(66145, 0x2000b);  // state 2 is not "on"
  EXPECT_EQ(other.line.bytesSent(), Lines{"O12OFF\r"});
}

TEST(ComposeTableCommand, BinaryMinutesThenTheSecondsLeftOver) {
  ProtocolTables tables;
  int family = 0, variant = 0;
  buildProtocolTables(1, tables, family, variant, nullptr);
  std::string command;
  // 300 s: 300 * 0.017 = 5 minutes; 300 - 5 / 0.017 = 6 seconds left.
  ASSERT_TRUE(composeTableCommand(*findCommandByNumber(tables.group(4), 386), 300, &command));
  EXPECT_EQ(command, std::string("\xBC\x05\x06\x03", 4));
  ASSERT_TRUE(composeTableCommand(*findCommandByNumber(tables.group(4), 387), 600, &command));
  EXPECT_EQ(command, std::string("\x04\x00\x0A\x0A", 4));
  EXPECT_FALSE(composeTableCommand(*findCommandByNumber(tables.group(4), 386), 4000, &command));
  EXPECT_FALSE(composeTableCommand(*findCommandByNumber(tables.group(4), 386), -60, &command));
  ASSERT_TRUE(composeTableCommand(*findCommandByNumber(tables.group(4), 369), 0, &command));
  EXPECT_EQ(command, "\x03");
}

TEST(ComposeTableCommand, TwoLetterSwitchOffRangeAndNegativePadding) {
  ProtocolTables tables;
  int family = 0, variant = 0;
  buildProtocolTables(5, tables, family, variant, nullptr);
  const CommandRecord& switchOff = *findCommandByNumber(tables.group(4), 386);
  std::string command = "unchanged";
  EXPECT_FALSE(composeTableCommand(switchOff, 32001, &command));
  EXPECT_FALSE(composeTableCommand(switchOff, -2, &command));
  EXPECT_EQ(command, "unchanged");
  ASSERT_TRUE(composeTableCommand(switchOff, -1, &command));
  EXPECT_EQ(command.substr(0, 11), "Cs-000001\r\n");
  ASSERT_TRUE(composeTableCommand(switchOff, 32000, &command));
  EXPECT_EQ(command.substr(0, 11), "Cs0032000\r\n");
  // The checksum: every byte after the first, exclusive-or'ed.
  char checksum = 0;
  for (std::size_t i = 1; i < 11; ++i) checksum ^= command[i];
  EXPECT_EQ(command.size(), 12u);
  EXPECT_EQ(command[11], checksum);
}

TEST(ComposeTableCommand, Q1RestoreAllowsOnlyItsListedValues) {
  ProtocolTables tables;
  int family = 0, variant = 0;
  buildProtocolTables(2, tables, family, variant, nullptr);
  const CommandRecord& restore = *findCommandByNumber(tables.group(4), 387);
  std::string command;
  EXPECT_FALSE(composeTableCommand(restore, 10, &command));
  ASSERT_TRUE(composeTableCommand(restore, 9999, &command));
  // Four characters from column 2: the end marker finds no room.
  EXPECT_EQ(command.substr(0, 5), "R9999");
  EXPECT_EQ(command.size(), 6u);
}

}  // namespace
}  // namespace orvik
