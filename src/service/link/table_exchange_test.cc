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

constexpr uint32_t kLoad = 8;
constexpr uint32_t kOutputLines = 68 | (2 << 16);

struct ExchangeRig : link_test::LinkFixture {
  explicit ExchangeRig(int protocol) : LinkFixture(protocol) {
    EXPECT_EQ(link.openPort(kUpsSlot, 0), 0);
  }
  void answer(const std::string& command, const std::string& reply) {
    ups.answer(command, {{5, reply}});
  }
  int run(const CommandRecord& command) {
    return executeTableCommand(link, settings, ctx, lastFailed, command);
  }
  // The bytes written by one command.
  std::string wireOf(const CommandRecord& command) {
    const std::size_t before = ups.writtenText().size();
    run(command);
    return ups.writtenText().substr(before);
  }

  FakeSerialPorts ports{clock};
  FakeSerialDevice& ups = ports.device("COM1");
  SerialLink link{clock, ports};
  ProbeSettings settings;
  bool lastFailed = false;
};

TEST(TableExchange, SendKindsPutTheirBytesOnTheLineAndSilenceGetsOneMoreTry) {
  struct Case {
    SendKind kind;
    const char* text;
    const char* terminator;
    std::string wire;
  } cases[] = {
      {SendKind::asText, "BV", "\r\n", "BV\r\n"},
      {SendKind::decimalByte, "188", "", "\xBC"},
      {SendKind::hexByte, "0x1b", "\r", "\x1B\r"},
      {SendKind::nothing, "BV", "\r\n", "\r\n"},
  };
  for (const Case& c : cases) {
    ExchangeRig rig(5);
    CommandRecord command{.sendKind = c.kind, .replyLength = kUnknownLength};
    std::snprintf(command.commandText, sizeof command.commandText, "%s", c.text);
    std::snprintf(command.commandTerminator, sizeof command.commandTerminator, "%s", c.terminator);
    EXPECT_EQ(rig.wireOf(command), c.wire + c.wire) << c.text;
    EXPECT_TRUE(rig.lastFailed);
  }
}

TEST(TableExchange, StatusQueryIsRepeatedUntilItsReplyStartsWithParenAtMostEightTimes) {
  ExchangeRig rig(2);
  const CommandRecord& q1 = rig.command("Q1");
  const std::string status = "(231.0 230.0 229.0 025 50.0 26.0 25.0 000010\r";
  struct Case {
    std::string reply;
    int sends, result;
  } cases[] = {{"#NAK\r", 8, 1}, {" " + status, 8, 0}, {status, 1, 0}};
  for (const Case& c : cases) {
    rig.answer("Q1\r", c.reply);
    const std::string wire = rig.wireOf(q1);
    EXPECT_EQ(wire.size(), 3u * c.sends) << c.reply;
    EXPECT_EQ(rig.lastFailed, c.result == 1) << c.reply;
  }
  EXPECT_EQ(rig.record.inputVoltage[0], 231);
}

TEST(TableExchange, BinaryFrameNeedsPlausibleFrequenciesUnlessVariantTwo) {
  auto frame = [](char model, int inputHz, int outputHz, int status = 0) {
    std::string f(16, '\0');
    f[0] = 25, f[2] = 115, f[3] = 115, f[4] = static_cast<char>(inputHz);
    f[6] = static_cast<char>(outputHz), f[9] = static_cast<char>(status), f[11] = model;
    f[12] = 0x18;
    return f;
  };
  struct Case {
    std::string frame;
    int result, variant, load;
    const char* model;
  } cases[] = {
      {frame('O', 50, 50), 0, 1, 25, "BACK 650"},
      {frame('X', 40, 70), 0, 1, 25, "BACK 650"},  // byte 11 is taken as "O"
      {frame('O', 0, 60), 0, 1, 25, "BACK 650"},
      {frame('K', 99, -1), 0, 2, 25, "SMART 700"},
      {frame('O', 71, 50), 1, 1, -2, ""},
      {frame('O', 50, 39), 1, 1, -2, ""},
      {frame('O', -50, 50), 1, 1, -2, ""},
      {frame('O', 50, 50, 0x40), 0, 1, -2, ""},  // taken without its values
      {frame('O', 50, 50).substr(0, 11), 1, 0, -2, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.frame));
    ExchangeRig rig(1);
    rig.ctx.protocolVariant = 0;
    rig.answer("\x01", c.frame);
    EXPECT_EQ(rig.run(rig.tables.group(1).commands[0]), c.result);
    EXPECT_EQ(rig.ctx.protocolVariant, c.variant);
    EXPECT_EQ(rig.record.outputPercentLoad[0], c.load);
    if (*c.model) EXPECT_STREQ(rig.record.model, c.model);
  }
}

TEST(TableExchange, TextReplyNeedsItsMarkerNearTheEndOrExactLengthAndItsPrefix) {
  const FieldRecord marked[] = {{.variableId = kLoad, .column = 2, .widthBits = 24,
                                 .conversion = Conversion::dec, .mustContain = "(",
                                 .endMarker = "OK\r"}};
  const FieldRecord plain[] = {
      {.variableId = kLoad, .column = 3, .widthBits = 24, .conversion = Conversion::dec}};
  const CommandRecord withMarker{.commandText = "X", .sendKind = SendKind::asText,
                                 .commandTerminator = "\r", .replyLength = 20, .fields = marked};
  const CommandRecord fixedLength{.commandText = "X", .sendKind = SendKind::asText,
                                  .replyLength = 6, .fields = plain, .replyPrefix = "ab",
                                  .startColumn = 2};
  struct Case {
    const CommandRecord& command;
    std::string reply;
    int result, load;
  } cases[] = {
      {withMarker, "(042 OK\r", 0, 42},    {withMarker, "(043 OK\r ", 0, 43},
      {withMarker, "(044 OK\r  ", 1, -2},  {withMarker, "044 OK\r", 1, -2},
      {withMarker, "(045 OK\r", 0, 45},    {fixedLength, "xAb046", 0, 46},
      {fixedLength, "xAb04", 1, -2},       {fixedLength, "AB0470", 1, -2},
  };
  for (const Case& c : cases) {
    ExchangeRig rig(5);
    rig.answer("X\r", c.reply);
    rig.answer("X", c.reply);
    EXPECT_EQ(rig.run(c.command), c.result) << c.reply;
    EXPECT_EQ(rig.record.outputPercentLoad[0], c.load) << c.reply;
  }
}

TEST(TableExchange, FixedRepliesComeFromTheRecordOrTheModelFileWithoutTheLine) {
  const std::string path = testing::TempDir() + "table_exchange_ident.ini";
  const FieldRecord lines[] = {
      {.variableId = kOutputLines, .column = 1, .widthBits = 8, .conversion = Conversion::dec}};
  const CommandRecord fromText{.commandText = "7", .sendKind = SendKind::noExchange,
                               .replyLength = 1, .fields = lines};
  const CommandRecord fromFile{.sendKind = SendKind::noExchange, .replyLength = 1,
                               .fields = lines};
  struct Case {
    const CommandRecord& command;
    const char* file;  // nullptr: no file
    bool lastFailed;
    int result, stored;
  } cases[] = {
      {fromText, nullptr, false, 0, 7},
      {fromText, nullptr, true, 1, 5},
      {fromFile, "Input lines <0x00010044> <2>\r\nOutput lines <0X00020044 > < 3 >\r\n", false, 0, 3},
      {fromFile, "Output lines <0x00020044> <3>\r\n", true, 1, 5},
      {fromFile, nullptr, false, 1, 5},
      {fromFile, "Input lines <0x00010044> <2>\r\n", false, 1, 5},
      {fromFile, "no items here\r\nOutput lines <0x00020044> <3>\r\n", false, 1, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file ? c.file : "(no file)");
    ExchangeRig rig(5);
    std::remove(path.c_str());
    if (c.file) std::ofstream(path, std::ios::binary) << c.file;
    rig.ctx.identPath = path;
    rig.record.outputNumLines = 5;
    rig.lastFailed = c.lastFailed;
    EXPECT_EQ(rig.wireOf(c.command), "");
    EXPECT_EQ(rig.lastFailed, c.result == 1);
    EXPECT_EQ(rig.record.outputNumLines, c.stored);
  }
  std::remove(path.c_str());
}

}  // namespace
}  // namespace orvik
