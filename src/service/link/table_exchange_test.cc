#include "service/link/table_exchange.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/fake_serial_port.h"
#include "service/link/link_test_support.h"
#include "service/link/serial_link.h"

namespace orvik {
namespace {

constexpr FieldRecord kLoadAt2{.variableId = 8,
                               .column = 2,
                               .widthBits = 24,
                               .conversion = Conversion::dec,
                               .mustContain = "(",
                               .endMarker = "OK\r"};
constexpr FieldRecord kLoadAt3{
    .variableId = 8, .column = 3, .widthBits = 24, .conversion = Conversion::dec};
constexpr FieldRecord kOutputLines{
    .variableId = 68 | (2 << 16), .column = 1, .widthBits = 8, .conversion = Conversion::dec};

struct ExchangeRig : link_test::LinkFixture {
  explicit ExchangeRig(int protocol) : LinkFixture(protocol) {
    EXPECT_EQ(link.openPort(kUpsSlot, 0), 0);
  }
  // The bytes the command wrote; the UPS answers reply to the text commands.
  std::string run(const CommandRecord& command, const std::string& reply = "") {
    ups.answer(command.commandText + std::string(command.commandTerminator), {{5, reply}});
    const std::size_t before = ups.writtenText().size();
    executeTableCommand(link, ProbeSettings{}, ctx, lastFailed, command);
    return ups.writtenText().substr(before);
  }

  FakeSerialPorts ports{clock};
  FakeSerialDevice& ups = ports.device("COM1");
  SerialLink link{clock, ports};
  bool lastFailed = false;
};

TEST(TableExchange, StatusQueryIsRepeatedUntilItsReplyStartsWithParenAtMostEightTimes) {
  ExchangeRig rig(2);
  const std::string status = "(231.0 230.0 229.0 025 50.0 26.0 25.0 000010\r";
  // Rejected for want of "(", accepted as it is, accepted at once; silence
  // is not asked for again.
  for (auto [reply, sends, fails] : {std::tuple{std::string("#NAK\r"), 8, true},
                                     {" " + status, 8, false},
                                     {status, 1, false},
                                     {std::string(), 1, true}}) {
    EXPECT_EQ(rig.run(rig.command("Q1"), reply).size(), 3u * sends) << reply;
    EXPECT_EQ(rig.lastFailed, fails) << reply;
  }
  EXPECT_EQ(rig.record.inputVoltage[0], 231);
}

// A power failure reaches the record when its reply is complete, not when
// the line's hold has run out; the line keeps the pacing of whole exchanges.
TEST(TableExchange, ReplyIsDecodedOnceCompleteWhileTheLineIsStillHeld) {
  ExchangeRig rig(4);
  // The terminator comes in a later chunk, so the hold runs a whole time-out
  // from the first chunk.
  rig.ups.answer("Q1\r", {{100, "(230.0 230.0 230.0 023 50.0 2.27 25.0 "}, {130, "10000001\r"}});
  int64_t onBatteryAt = -1;
  rig.clock.beforeSleep = [&](int64_t) {
    if (onBatteryAt < 0 && rig.alarmBit(1)) onBatteryAt = rig.clock.monotonicMs();
  };
  const int64_t start = rig.clock.monotonicMs();
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(
        executeTableCommand(rig.link, ProbeSettings{}, rig.ctx, rig.lastFailed, rig.command("Q1")),
        0);
  }
  // Flush 60 ms, three bytes 20 ms apart and 20 after the last, settle 10;
  // the last byte goes at 100 ms, the reply is complete at 230 ms.
  EXPECT_EQ(onBatteryAt, start + 230);
  std::vector<int64_t> sent;
  for (const WrittenByte& b : rig.ups.written()) sent.push_back(b.atMs - start);
  // The first chunk at 200 ms holds the line to 1200 ms; the next exchange
  // flushes for 60 ms after that.
  EXPECT_EQ(sent, (std::vector<int64_t>{60, 80, 100, 1260, 1280, 1300}));
  EXPECT_EQ(rig.clock.monotonicMs() - start, 2400);
}

TEST(TableExchange, BinaryFrameNeedsPlausibleFrequenciesUnlessVariantTwo) {
  auto frame = [](char model, int inputHz, int outputHz, int status = 0) {
    std::string f(16, '\0');
    f[0] = 25, f[4] = static_cast<char>(inputHz), f[6] = static_cast<char>(outputHz);
    f[9] = static_cast<char>(status), f[11] = model, f[12] = 0x18;
    return f;
  };
  struct Case {
    std::string frame;
    bool fails;
    int variant, load;
    const char* model;
  } cases[] = {
      {frame('X', 40, 70), false, 1, 25, "BACK 650"},  // byte 11 is taken as "O"
      {frame('O', 0, 60), false, 1, 25, "BACK 650"},
      {frame('K', 99, -1), false, 2, 25, "SMART 700"},
      {frame('O', 71, 50), true, 1, -2, ""},
      {frame('O', -50, 39), true, 1, -2, ""},
      {frame('O', 50, 50, 0x40), false, 1, -2, ""},  // taken without its values
      {frame('O', 50, 50).substr(0, 11), true, 0, -2, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.frame));
    ExchangeRig rig(1);
    rig.ctx.protocolVariant = 0;
    rig.ups.answer("\x01", {{5, c.frame}});
    rig.run(rig.tables.group(1).commands[0]);
    EXPECT_EQ(rig.lastFailed, c.fails);
    EXPECT_EQ(rig.ctx.protocolVariant, c.variant);
    EXPECT_EQ(rig.record.outputPercentLoad[0], c.load);
    EXPECT_STREQ(rig.record.model, c.model);
  }
}

// A frame that lost or gained a byte on the line would decode shifted, with
// false battery alarms from the neighbouring status byte.
TEST(TableExchange, BinaryFrameOfAnyLengthButSixteenIsRejected) {
  std::string whole(20, '\x02');
  whole[0] = 25, whole[4] = 50, whole[6] = 50, whole[9] = whole[10] = 0, whole[11] = 'O',
  whole[12] = 0x18;
  for (int length : {12, 15, 16, 17, 20}) {
    SCOPED_TRACE(length);
    ExchangeRig rig(1);
    // Read as far as the longest frame, to see what validation makes of it.
    CommandRecord status = rig.tables.group(1).commands[0];
    status.replyLength = 20;
    rig.ups.answer("\x01", {{5, whole.substr(0, length)}});
    rig.run(status);
    EXPECT_EQ(rig.lastFailed, length != 16);
    EXPECT_EQ(rig.record.outputPercentLoad[0], length == 16 ? 25 : -2);
    EXPECT_EQ(rig.record.alarmFlags & 0x0f, 0u);
  }
}

TEST(TableExchange, TextReplyNeedsItsMarkerNearTheEndOrExactLengthAndItsPrefix) {
  const CommandRecord marked{.commandText = "X",
                             .sendKind = SendKind::asText,
                             .commandTerminator = "\r",
                             .replyLength = 20,
                             .fields = {&kLoadAt2, 1}};
  const CommandRecord sized{.commandText = "X",
                            .sendKind = SendKind::asText,
                            .replyLength = 6,
                            .fields = {&kLoadAt3, 1},
                            .replyPrefix = "ab",
                            .startColumn = 2};
  struct Case {
    const CommandRecord& command;
    std::string reply;
    int load;
  } cases[] = {{marked, "(043 OK\r ", 43}, {marked, "(044 OK\r  ", -2}, {marked, "044 OK\r", -2},
               {sized, "xAb046", 46},      {sized, "xAb04", -2},        {sized, "AB0470", -2}};
  for (const Case& c : cases) {
    ExchangeRig rig(5);
    rig.run(c.command, c.reply);
    EXPECT_EQ(rig.lastFailed, c.load == -2) << c.reply;
    EXPECT_EQ(rig.record.outputPercentLoad[0], c.load) << c.reply;
  }
}

TEST(TableExchange, FixedRepliesComeFromTheRecordOrTheModelFileWithoutTheLine) {
  const std::string path = testing::TempDir() + "table_exchange_ident.ini";
  const CommandRecord fromText{
      .commandText = "7", .sendKind = SendKind::noExchange, .fields = {&kOutputLines, 1}};
  const CommandRecord fromFile{.sendKind = SendKind::noExchange, .fields = {&kOutputLines, 1}};
  struct Case {
    const CommandRecord& command;
    const char* file;  // nullptr: no file
    bool afterFailure;
    int stored;
  } cases[] = {
      {fromText, nullptr, false, 7},
      {fromText, nullptr, true, 5},
      {fromFile, "In <0x00010044> <2>\r\nOut <0X00020044 > < 3 >\r\n", false, 3},
      {fromFile, "Out <0x00020044> <3>\r\n", true, 5},
      {fromFile, nullptr, false, 5},
      {fromFile, "no items\r\nOut <0x00020044> <3>\r\n", false, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file ? c.file : "(no file)");
    ExchangeRig rig(5);
    std::remove(path.c_str());
    if (c.file) std::ofstream(path, std::ios::binary) << c.file;
    rig.ctx.identPath = path;
    rig.record.outputNumLines = 5;
    rig.lastFailed = c.afterFailure;
    EXPECT_EQ(rig.run(c.command), "");
    EXPECT_EQ(rig.lastFailed, c.stored == 5);
    EXPECT_EQ(rig.record.outputNumLines, c.stored);
  }
  std::remove(path.c_str());
}

}  // namespace
}  // namespace orvik
