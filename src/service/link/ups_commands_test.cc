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

using Lines = std::vector<std::string>;

struct Sent {
  std::string bytes;
  int interByteDelayMs, settleMs, terminator, maxLength, timeoutMs;
};

// A UPS line that records every exchange and answers from a script, then
// stays silent; a LinkFixture with it.
struct CommandFixture : link_test::LinkFixture {
  explicit CommandFixture(int protocol) : LinkFixture(protocol) {}

  int run(uint32_t number, int32_t argument) {
    auto exchange = [this](const uint8_t* bytes, int count, int interByteDelayMs, int settleMs,
                           char* reply, int* replyCount, int terminator, int maxLength,
                           int timeoutMs) {
      sent.push_back({std::string(reinterpret_cast<const char*>(bytes), count), interByteDelayMs,
                      settleMs, terminator, maxLength, timeoutMs});
      const std::string r = replies.empty() ? "" : replies.front().substr(0, maxLength);
      if (!replies.empty()) replies.pop_front();
      *replyCount = static_cast<int>(r.copy(reply, r.size()));
      return 0;
    };
    return executeUpsCommand(ctx, tables, exchange, number, argument);
  }
  Lines bytesSent() const {
    Lines out;
    for (const Sent& s : sent) out.push_back(s.bytes);
    return out;
  }
  // Every exchange with this reply maximum and time-out, and the fixed settings.
  void expectSettings(int maxLength, int timeoutMs) const {
    for (const Sent& s : sent) {
      EXPECT_EQ(s.maxLength, maxLength) << s.bytes;
      EXPECT_EQ(s.timeoutMs, timeoutMs) << s.bytes;
      EXPECT_EQ(s.interByteDelayMs, 0);
      EXPECT_EQ(s.settleMs, 10);
      EXPECT_EQ(s.terminator, 10);
    }
  }

  std::vector<Sent> sent;
  std::deque<std::string> replies;
};

TEST(TableCommands, TwoLetterCommandsAreComposedFromTheirRecords) {
  const std::tuple<uint32_t, int32_t, const char*> cases[] = {
      {407, 5, "Fb05\r\n"},       {409, 93, "Fl093\r\n"}, {410, 151, "Fh151\r\n"},
      {4132, 120, "Bd00120\r\n"}, {369, 0, "Ts\r\n"},     {66145, 0x10001, "Oi11\r\n"},
      {66145, 3, "Oi03\r\n"},     {389, 1, "Fa01\r\n"},   {385, 2, "Ct02\r\n"},
      {388, 7, "Cr07\r\n"},       {408, 2, "Fu2\r\n@"}};  // one byte shorter than its length: the
                                                          // checksum goes out
  for (const auto& [number, argument, bytes] : cases) {
    SCOPED_TRACE(std::to_string(number) + " " + std::to_string(argument));
    CommandFixture f(7);
    EXPECT_EQ(f.run(number, argument), 0);
    EXPECT_EQ(f.bytesSent(), Lines{bytes});
    f.expectSettings(static_cast<int>(std::string(bytes).size()), 1000);
  }
}

TEST(TableCommands, DisallowedValuesAndUnknownNumbersSendNothing) {
  const std::tuple<int, uint32_t, int32_t> cases[] = {
      {7, 407, 3},   {7, 409, 90},  {7, 410, 150},      {7, 4132, 32001},
      {7, 4132, -1}, {7, 401, 0},   {7, 404, 0},        {2, 388, 0},
      {2, 407, 5},   {3, 66146, 1}, {1, 4132, 120},     {5, 66149, 0},
      {0, 386, 300}, {0, 387, 600}, {0, 66145, 0x10000}};  // no protocol
  for (const auto& [protocol, number, argument] : cases) {
    CommandFixture f(protocol);
    EXPECT_EQ(f.run(number, argument), 1) << protocol << ": " << number;
    EXPECT_TRUE(f.sent.empty()) << protocol << ": " << number;
  }
}

TEST(TableCommands, TestCommandMarksATestInProgress) {
  const std::pair<int, std::string> cases[] = {{1, "\x03"}, {2, "T\r"}, {9, "Ts\r\n"}};
  for (const auto& [protocol, bytes] : cases) {
    CommandFixture f(protocol);
    f.clock.advanceMs(12'345);
    f.record.serviceStartTicks = 100;
    EXPECT_EQ(f.run(369, 0), 0);
    EXPECT_EQ(f.bytesSent(), Lines{bytes});
    link_test::expectFields({{"summary", f.record.testResultsSummary, 5},
                             {"start: 12345 ms / 10 - 100", f.record.testStartTicks, 1134},
                             {"bit 23", f.alarmBit(23), 1}});
  }
  CommandFixture none(0);  // nothing sent: no test marked as running
  EXPECT_EQ(none.run(369, 0), 1);
  EXPECT_TRUE(none.sent.empty());
  EXPECT_EQ(none.record.testResultsSummary, 6);
  EXPECT_FALSE(none.alarmBit(23));
}

TEST(SwitchOff, Q1FormatsByDelayAndRestoreTime) {
  // Restore time given before (-2: none), delay, bytes.
  const std::tuple<int32_t, int32_t, const char*> cases[] = {{-2, 30, "S.50\r"},
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
                                                             {600, -5, ""}};  // only read
  for (const auto& [restore, delay, bytes] : cases) {
    SCOPED_TRACE(std::to_string(restore) + " " + std::to_string(delay));
    CommandFixture f(2);
    if (restore != -2) {
      EXPECT_EQ(f.run(387, restore), 0);
    }
    EXPECT_TRUE(f.sent.empty()) << "the restore time only waits";
    EXPECT_EQ(f.run(386, delay), 0);
    EXPECT_EQ(f.bytesSent(), Lines{bytes});
    f.expectSettings(20, 600);
    EXPECT_EQ(f.ctx.pendingRestoreSeconds, -1);
  }
  CommandFixture f(3);
  f.run(387, 600);
  f.run(386, 300);
  f.run(386, 300);
  EXPECT_EQ(f.bytesSent(), (Lines{"S05R0010\r", "S05\r"})) << "forgotten after one use";
}

TEST(SwitchOff, BinaryFrameByteByByte) {
  const std::tuple<int32_t, bool, int32_t, std::string> cases[] = {
      {-2, false, 300, std::string("\x04\x76\x1D\xBA\xBC\x05\x00", 7)},
      {-2, true, 125, std::string("\x04\x76\x1D\xB9\xBC\x02\x05", 7)},  // on battery
      {600, false, 300, std::string("\x04\x00\x0A\xBA\xBC\x05\x00", 7)},
      {30, false, 59, std::string("\x04\x00\x01\xBA\xBC\x00\x3B", 7)},
      {59, false, 60, std::string("\x04\x00\x00\xBA\xBC\x01\x00", 7)},
      {59'000, false, 60, std::string("\x04\x03\xDA\xBA\xBC\x01\x00", 7)}};  // 983 = 3 * 255 + 218
  for (const auto& [restore, onBattery, delay, frame] : cases) {
    SCOPED_TRACE(std::to_string(restore) + " " + std::to_string(delay));
    CommandFixture f(1);
    if (onBattery) f.record.alarmFlags |= 0x02;
    if (restore != -2) f.run(387, restore);
    EXPECT_EQ(f.run(386, delay), 0);
    EXPECT_EQ(f.bytesSent(), Lines{frame});
    f.expectSettings(7, 600);
    EXPECT_EQ(f.ctx.pendingRestoreSeconds, -1);
  }
}

TEST(SwitchOff, TwoLetterSendsTypeAndAutoRestartFirstAndTheRestoreTimeAtOnce) {
  CommandFixture f(8);
  EXPECT_EQ(f.run(387, 600), 0);
  EXPECT_EQ(f.ctx.pendingRestoreSeconds, 600);
  EXPECT_EQ(f.run(386, 300), 0);
  EXPECT_EQ(f.bytesSent(), (Lines{"Cu0000600\r\n", "Ct1", "Ca0", "Cs0000300\r\n"}));
  EXPECT_EQ(f.clock.sleptMs(), 100);
  EXPECT_EQ(f.ctx.pendingRestoreSeconds, -1);
  f.expectSettings(20, 600);

  CommandFixture cancel(5);
  EXPECT_EQ(cancel.run(386, -1), 0);
  EXPECT_EQ(cancel.bytesSent(), (Lines{"Ct1", "Ca0", "Cs-000001"}));
}

TEST(Outlet, Q1RetriesUntilTheUnitAcknowledgesAtMostFiveTimes) {
  CommandFixture f(3);
  f.replies = {"", "?", "#"};
  EXPECT_EQ(f.run(66145, 0x10000), 0);
  EXPECT_EQ(f.bytesSent(), Lines(3, "O01ON\r"));
  EXPECT_EQ(f.clock.sleptMs(), 3000);
  f.expectSettings(20, 600);

  CommandFixture silent(2);
  EXPECT_EQ(silent.run(66145, 1), 0);
  EXPECT_EQ(silent.bytesSent(), Lines(5, "O02OFF\r"));
  EXPECT_EQ(silent.clock.sleptMs(), 5000);

  CommandFixture other(2);
  other.replies = {"#"};
  other.run(66145, 0x2000b);  // state 2 is not "on"
  EXPECT_EQ(other.bytesSent(), Lines{"O12OFF\r"});
}

TEST(ComposeTableCommand, RunningValueRangesPaddingAndChecksum) {
  ProtocolTables binary, twoLetter, q1;
  int family = 0, variant = 0;
  buildProtocolTables(1, binary, family, variant, nullptr);
  buildProtocolTables(5, twoLetter, family, variant, nullptr);
  buildProtocolTables(2, q1, family, variant, nullptr);
  auto compose = [](const ProtocolTables& tables, uint32_t number, int32_t argument) {
    std::string command = "refused";
    composeTableCommand(*findCommandByNumber(tables.group(4), number), argument, &command);
    return command;
  };
  // Minutes (300 * 0.017 = 5), then the seconds left over (300 - 5 / 0.017 = 6), checksum 5 ^ 6.
  EXPECT_EQ(compose(binary, 386, 300), std::string("\xBC\x05\x06\x03", 4));
  EXPECT_EQ(compose(binary, 387, 600), std::string("\x04\x00\x0A\x0A", 4));
  EXPECT_EQ(compose(binary, 386, 4000), "refused");
  EXPECT_EQ(compose(binary, 386, -60), "refused");
  EXPECT_EQ(compose(twoLetter, 386, 32001), "refused");
  EXPECT_EQ(compose(twoLetter, 386, -2), "refused");
  const std::string cancel = compose(twoLetter, 386, -1);
  char checksum = 0;
  for (std::size_t i = 1; i < 11; ++i) checksum ^= cancel[i];
  EXPECT_EQ(cancel, std::string("Cs-000001\r\n") + checksum);
  // "R" allows only its listed values; four characters from column 2 leave no room for "\r".
  EXPECT_EQ(compose(q1, 387, 10), "refused");
  EXPECT_EQ(compose(q1, 387, 9999).substr(0, 5), "R9999");
}

}  // namespace
}  // namespace orvik
