// Whole replies of each protocol family, decoded with the real tables and the
// sample "ident.ini", checked field by field against the record.
#include "service/link/reply_decoder.h"

#include <gtest/gtest.h>

#include <string>

#include "service/link/link_test_support.h"

namespace orvik {
namespace {

using link_test::LinkFixture;

std::string text(const char* field, std::size_t size) { return readText(field, size); }
#define TEXT(field) text(field, sizeof field)

constexpr uint32_t kServiceRunning = 0x01000000;

// > 01
// < 21 40 73 73 32 00 32 00 00 00 00 4B 5A 00 00 01
//   1  2  3  4  5  6  7  8  9  10 11 12 13 14 15 16
// Load 33 %, charge code 64, 115 V / 2 in and out, 50 Hz in and out, no
// status bit, model "K" with nibbles 5 (a 24 V model) and 10 (240 V), byte 15 = 1.
const std::string kBinaryOnLine("\x21\x40\x73\x73\x32\x00\x32\x00\x00\x00\x00\x4B\x5A\x00\x00\x01",
                                16);

TEST(BinaryReply, EveryFieldLandsInItsRecordField) {
  LinkFixture f(1);
  f.ctx.protocolVariant = 2;  // byte 11 is "K"
  f.record.inputNumLines = 0;
  f.record.outputNumLines = 0;

  EXPECT_EQ(f.decode(*f.tables.group(1).command(1), kBinaryOnLine), 0);

  const StatusRecord& r = f.record;
  EXPECT_EQ(r.outputPercentLoad[0], 33);
  // Code 64: 115 + 34 * 21 / 70 = 125, doubled for the 24 V model.
  EXPECT_EQ(r.batteryVoltage, 250);
  EXPECT_EQ(r.inputVoltage[0], 230);
  EXPECT_EQ(r.outputVoltage[0], 230);
  EXPECT_EQ(r.inputFrequency[0], 500);
  EXPECT_EQ(r.outputFrequency, 500);
  EXPECT_EQ(r.confInFreq.value, 500);
  EXPECT_EQ(r.confOutFreq.value, 500);
  EXPECT_EQ(r.outputSource, 3);
  EXPECT_EQ(r.batteryStatus, 2);
  EXPECT_EQ(r.alarmFlags, kServiceRunning);
  EXPECT_EQ(r.secondsOnBattery, 0);
  EXPECT_EQ(r.testResultsSummary, 1);
  EXPECT_EQ(TEXT(r.testResultsDetail), "Test finished without failure");
  EXPECT_EQ(r.inputNumLines, 1);
  EXPECT_EQ(r.outputNumLines, 1);
  EXPECT_EQ(r.confInVolt.value, 240);
  EXPECT_EQ(r.confOutVolt.value, 240);
  // Keys "4B", "50" and, before byte 15 has been seen twice, "00".
  EXPECT_EQ(TEXT(r.model), "SMART 1000");
  EXPECT_EQ(TEXT(r.manufacturer), "ACME-POWER");
  EXPECT_EQ(r.nominalBatteryVoltage, 240);
  EXPECT_EQ(r.configOutputVA, 1000);
  EXPECT_EQ(r.configOutputPower, 670);
  // The nominal battery voltage comes after the battery field.
  EXPECT_EQ(r.estChargeRemaining, 0);
  EXPECT_EQ(r.estMinutesRemaining, 0);

  EXPECT_EQ(f.decode(*f.tables.group(1).command(1), kBinaryOnLine), 0);
  EXPECT_EQ(TEXT(r.model), "SMART 1000 XL");
  EXPECT_EQ(r.estChargeRemaining, 81);   // (25000 - 20774) / 52
  EXPECT_EQ(r.estMinutesRemaining, 12);  // ((250 - 208) * 96 / 33 + 5) / 10
}

TEST(BinaryReply, OnBatteryBitsAndTheLoadCorrectedBatteryVoltage) {
  LinkFixture f(1);
  f.ctx.protocolVariant = 2;
  std::string reply = kBinaryOnLine;
  reply[9] = 0x01;  // column 10, bit 1: utility failed

  f.decode(*f.tables.group(1).command(1), reply);
  EXPECT_TRUE(f.alarmBit(1));
  EXPECT_TRUE(f.alarmBit(5));
  EXPECT_EQ(f.record.inputLineBads, 1);
  EXPECT_EQ(f.record.outputSource, 5);
  // (125 - 0.1 * 33) truncated, doubled.
  EXPECT_EQ(f.record.batteryVoltage, 242);

  f.clock.advanceMs(3000);
  f.decode(*f.tables.group(1).command(1), reply);
  EXPECT_EQ(f.record.secondsOnBattery, 3);
  EXPECT_EQ(f.record.inputLineBads, 1);
}

// > "I\r"
// < "#ACME-POWER      VALUE-1000 V01.02.0003\r"
// > "F\r"
// < "#230.0 004 12.00 50.0\r"
// > "Q1\r"
// < "(230.0 230.0 229.0 021 50.0 27.2 35.0 00001001 0\r"
//    1        10        20        30        40
//    1234567890123456789012345678901234567890123456789
TEST(Q1SetAReply, IdentityRatingAndStatusLandInTheirRecordFields) {
  LinkFixture f(2);
  f.record.serviceFlags = 0x147;
  f.record.inputNumLines = 0;
  f.record.outputNumLines = 0;

  EXPECT_EQ(f.decode("I", "#ACME-POWER      VALUE-1000 V01.02.0003\r"), 0);
  EXPECT_EQ(f.decode("1", "1"), 0);
  EXPECT_EQ(f.decode("F", "#230.0 004 12.00 50.0\r"), 0);
  EXPECT_EQ(f.decode("Q1", "(230.0 230.0 229.0 021 50.0 27.2 35.0 00001001 0\r"), 0);

  const StatusRecord& r = f.record;
  EXPECT_EQ(TEXT(r.model), "VALUE 1000");
  EXPECT_EQ(TEXT(r.manufacturer), "ACME-POWER");
  EXPECT_EQ(TEXT(r.upsSoftwareVersion), "V01.02.0003");
  EXPECT_EQ(r.serviceFlags, 0x47) << "class 1 clears bit 8";
  EXPECT_EQ(r.inputNumLines, 1);
  EXPECT_EQ(r.outputNumLines, 1);
  EXPECT_EQ(r.confInVolt.value, 230);
  EXPECT_EQ(r.confOutVolt.value, 230);
  EXPECT_EQ(r.nominalBatteryVoltage, 240) << "from the model entry, not the reply's 12.00";
  EXPECT_EQ(r.confInFreq.value, 500);
  EXPECT_EQ(r.confOutFreq.value, 500);

  EXPECT_EQ(r.inputVoltage[0], 230);
  EXPECT_EQ(r.outputVoltage[0], 229);
  EXPECT_EQ(r.outputPercentLoad[0], 21);
  EXPECT_EQ(r.inputFrequency[0], 500);
  EXPECT_EQ(r.outputFrequency, 500);
  EXPECT_EQ(r.batteryVoltage, 272);
  EXPECT_EQ(r.batteryTemperature, 35);
  EXPECT_EQ(r.outputSource, 3);
  EXPECT_EQ(r.alarmFlags, kServiceRunning);
  EXPECT_EQ(r.testResultsSummary, 1);
  EXPECT_EQ(r.estChargeRemaining, 100);
  EXPECT_EQ(r.estMinutesRemaining, 29);  // ((272 - 208) * 96 / 21 + 5) / 10
}

TEST(Q1SetAReply, FaultCodeInColumn48SelectsOneAlarm) {
  struct Case {
    char code;
    unsigned bit;  // 32: none of the decoded ones
  };
  const Case cases[] = {{'1', 6}, {'2', 4}, {'4', 7}, {'7', 0}, {'3', 32}, {'0', 32}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("code ") + c.code);
    LinkFixture f(2);
    f.record.alarmFlags |= 0xd1;  // bits 0, 4, 6 and 7 left over
    std::string reply = "(230.0 230.0 229.0 021 50.0 27.2 35.0 00001001 0\r";
    reply[47] = c.code;
    f.decode("Q1", reply);
    const uint32_t expected = c.bit < 32 ? uint32_t{1} << c.bit : 0;
    EXPECT_EQ(f.record.alarmFlags & 0xd1, expected);
  }
}

// > "OI\r"  < "#0210\r"
// > "I\r"   < "#ACME-POWER     CELL-800    V01.02.0003\r"
// > "F\r"   < "#230.0 004 12.00 60.0\r"
// > "Q1\r"  < "(230.0 230.0 229.0 021 60.0 2.10 35.0 00001001\r"
TEST(Q1SetBReply, OutletsAndAPerCellBatteryReading) {
  LinkFixture f(3);
  for (Outlet& o : f.record.outlets) o.outletState = 7;

  EXPECT_EQ(f.decode("OI", "#0210\r"), 0);
  EXPECT_EQ(f.decode("I", "#ACME-POWER     CELL-800    V01.02.0003\r"), 0);
  EXPECT_EQ(f.decode("F", "#230.0 004 12.00 60.0\r"), 0);
  EXPECT_EQ(f.decode("Q1", "(230.0 230.0 229.0 021 60.0 2.10 35.0 00001001\r"), 0);

  const StatusRecord& r = f.record;
  EXPECT_EQ(r.outletCount, 2);
  EXPECT_EQ(r.outlets[0].outletState, 1);
  EXPECT_EQ(r.outlets[1].outletState, 0);
  EXPECT_EQ(r.outlets[2].outletState, 7);
  EXPECT_EQ(TEXT(r.model), "CELL 800");
  EXPECT_EQ(r.serviceFlags & 0x100, 0x100) << "class 0 sets bit 8";
  EXPECT_EQ(r.nominalBatteryVoltage, 120);
  EXPECT_EQ(r.confInFreq.value, 600);
  EXPECT_EQ(r.inputFrequency[0], 600);
  EXPECT_EQ(r.outputFrequency, 600);
  // One cell of 2.10 V on a 12 V battery: 2.10 * 120 * 0.5.
  EXPECT_EQ(r.batteryVoltage, 126);
  EXPECT_EQ(r.estChargeRemaining, 85);   // (12600 - 10387) / 26
  EXPECT_EQ(r.estMinutesRemaining, 20);  // ((126 - 104) * 192 / 21 + 5) / 10
}

// < "(230.0 230.0 229.0 021 50.0 27.2 35.0 00001001 001 0000\r"
//    1        10        20        30        40        50
//    12345678901234567890123456789012345678901234567890123456
TEST(Q1SetCReply, TheLastOfTheTwoOverloadDigitsDecides) {
  LinkFixture f(4);
  EXPECT_EQ(f.ctx.protocolVariant, 3);
  EXPECT_EQ(f.decode("Q1", "(230.0 230.0 229.0 021 50.0 27.2 35.0 00001001 001 0000\r"), 0);
  EXPECT_TRUE(f.alarmBit(7));
  EXPECT_EQ(f.record.inputVoltage[0], 230);
  EXPECT_EQ(f.record.batteryVoltage, 272);
  EXPECT_EQ(f.decode("Q1", "(230.0 230.0 229.0 021 50.0 27.2 35.0 00001001 010 0000\r"), 0);
  EXPECT_FALSE(f.alarmBit(7));
}

TEST(TwoLetterReplies, EveryCommandOfGroupsOneToThreeLandsInItsRecordField) {
  LinkFixture f(7);
  f.record.inputNumLines = 0;
  f.record.outputNumLines = 0;
  for (Outlet& o : f.record.outlets) o.outletState = 7;

  const std::pair<const char*, const char*> identity[] = {
      {"IM", "ACME-POWER\r\n"}, {"IO", "LINE-1500\r\n"}, {"IS", "B2\r\n"},
      {"IZ", "QX0012345\r\n"},  {"FV", "230\r\n"},       {"FF", "500\r\n"},
      {"FO", "230\r\n"},        {"FR", "500\r\n"},       {"FA", "1500\r\n"},
      {"FP", "1050\r\n"},       {"ON", "02\r\n"},        {"BD", "00120\r\n"},
      {"CA", "1\r\n"},          {"FU", "02\r\n"},        {"FL", "093\r\n"},
      {"FH", "145\r\n"},        {"FT", "240\r\n"},       {"FB", "05\r\n"},
      {"OI1", "1\r\n"},         {"OI2", "0\r\n"},
  };
  for (const auto& [command, reply] : identity) {
    EXPECT_EQ(f.decode(command, reply), 0) << command;
  }
  // The two fixed-reply records: one input line, one output line.
  f.decode(*f.tables.group(2).command(5), "1");
  f.decode(*f.tables.group(2).command(6), "1");

  const std::pair<const char*, const char*> status[] = {
      {"BS", "02\r\n"},  {"BV", "250\r\n"}, {"BT", "31\r\n"}, {"NF", "500\r\n"},
      {"NV", "115\r\n"}, {"OF", "500\r\n"}, {"OV", "115\r\n"}, {"OL", "035\r\n"},
      {"OS", "03\r\n"},  {"AG", "00\r\n"},  {"TR", "001\r\n"},
  };
  // Twice: the estimates use the load, which comes after the battery voltage.
  for (int lap = 0; lap < 2; ++lap) {
    for (const auto& [command, reply] : status) {
      EXPECT_EQ(f.decode(command, reply), 0) << command;
    }
  }

  const StatusRecord& r = f.record;
  EXPECT_EQ(TEXT(r.manufacturer), "ACME-POWER");
  EXPECT_EQ(TEXT(r.model), "LINE-1500");
  EXPECT_EQ(TEXT(r.upsSoftwareVersion), "B2");
  EXPECT_EQ(TEXT(r.serialNumber), "QX0012345");
  EXPECT_EQ(r.inputNumLines, 1);
  EXPECT_EQ(r.outputNumLines, 1);
  EXPECT_EQ(r.confInVolt.value, 230);
  EXPECT_EQ(r.confInFreq.value, 500);
  EXPECT_EQ(r.confOutVolt.value, 230);
  EXPECT_EQ(r.confOutFreq.value, 500);
  EXPECT_EQ(r.configOutputVA, 1500);
  EXPECT_EQ(r.configOutputPower, 1050);
  EXPECT_EQ(r.outletCount, 2);
  EXPECT_EQ(r.batteryDate, 120);
  EXPECT_EQ(r.autoRestart.value, 1);
  EXPECT_EQ(r.confAudible.value, 2);
  EXPECT_EQ(r.lowTransferVoltage.value, 93);
  EXPECT_EQ(r.highTransferVoltage.value, 145);
  EXPECT_EQ(r.nominalBatteryVoltage, 240);
  EXPECT_EQ(r.confLowBatt.value, 5);
  EXPECT_EQ(r.outlets[0].outletState, 1);
  EXPECT_EQ(r.outlets[1].outletState, 0);
  EXPECT_EQ(r.outlets[2].outletState, 7);

  EXPECT_EQ(r.batteryStatus, 2);
  EXPECT_EQ(r.batteryVoltage, 250);
  EXPECT_EQ(r.batteryTemperature, 31);
  EXPECT_EQ(r.inputFrequency[0], 500);
  EXPECT_EQ(r.inputVoltage[0], 230) << "115 on a 230 V unit: times (230 / 180 + 1)";
  EXPECT_EQ(r.outputFrequency, 500);
  EXPECT_EQ(r.outputVoltage[0], 230);
  EXPECT_EQ(r.outputPercentLoad[0], 35);
  EXPECT_EQ(r.outputSource, 3);
  EXPECT_EQ(r.alarmFlags, kServiceRunning);
  EXPECT_EQ(r.testResultsSummary, 1);
  EXPECT_EQ(r.estChargeRemaining, 81);   // (25000 - 20774) / 52
  EXPECT_EQ(r.estMinutesRemaining, 12);  // ((250 - 208) * 96 / 35 + 5) / 10
}

TEST(TwoLetterReplies, AlarmGroupHexDigitsSetOneBitEach) {
  struct Case {
    const char* reply;
    uint32_t bits;
  };
  // Column 1: bit 1 battery bad, bit 2 on battery, bit 4 depleted; column 2:
  // bit 1 temperature, bit 2 input bad, bit 3 output bad, bit 4 overload.
  const Case cases[] = {
      {"00\r\n", 0},    {"10\r\n", 0x01}, {"20\r\n", 0x02}, {"80\r\n", 0x08}, {"01\r\n", 0x10},
      {"02\r\n", 0x20}, {"04\r\n", 0x40}, {"08\r\n", 0x80}, {"bf\r\n", 0xfb}, {"ZF\r\n", 0xf0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    LinkFixture f(7);
    f.decode("AG", c.reply);
    EXPECT_EQ(f.record.alarmFlags & 0xff, c.bits);
  }
}

TEST(ReplyDecoding, MissingEndMarkerStopsDecodingWithResultOne) {
  LinkFixture f(7);
  EXPECT_EQ(f.decode("BV", "250"), 1);
  EXPECT_EQ(f.record.batteryVoltage, kNotAvailable);
  // 64 characters before the marker cannot be cut.
  EXPECT_EQ(f.decode("IM", std::string(64, 'A') + "\r\n"), 1);
  EXPECT_EQ(readText(f.record.manufacturer), "");
  EXPECT_EQ(f.decode("IM", std::string(63, 'A') + "\r\n"), 0);
  EXPECT_EQ(readText(f.record.manufacturer), std::string(63, 'A'));
}

TEST(ReplyDecoding, FieldsBeforeAnUncuttableOneStayStored) {
  LinkFixture f(2);
  // The load field runs to a blank that never comes.
  EXPECT_EQ(f.decode("Q1", "(231.0 230.0 229.0 021"), 1);
  EXPECT_EQ(f.record.inputVoltage[0], 231);
  EXPECT_EQ(f.record.outputVoltage[0], 229);
  EXPECT_EQ(f.record.outputPercentLoad[0], kNotAvailable);
}

TEST(ReplyDecoding, FieldsBeyondAShortReplyLeaveTheirTargets) {
  LinkFixture f(2);
  f.record.alarmFlags |= 0xd1;
  // Set A reads its fault code from column 48; this reply ends at 47.
  f.decode("Q1", "(230.0 230.0 229.0 021 50.0 27.2 35.0 00001001\r");
  EXPECT_EQ(f.record.alarmFlags & 0xd1, 0xd1u);
  EXPECT_EQ(f.record.testResultsSummary, 1);

  // A binary reply cut after column 9: no status column, no model bytes.
  LinkFixture b(1);
  setText(b.record.model, "OLD");
  b.decode(*b.tables.group(1).command(1), kBinaryOnLine.substr(0, 9));
  EXPECT_EQ(b.record.outputPercentLoad[0], 33);
  EXPECT_EQ(b.record.inputVoltage[0], 230);
  EXPECT_EQ(b.record.testResultsSummary, 6);
  EXPECT_EQ(b.record.batteryStatus, kNotAvailable);
  EXPECT_EQ(b.record.batteryVoltage, kNotAvailable);
  EXPECT_EQ(b.record.confInVolt.value, kNotAvailable);
  EXPECT_EQ(readText(b.record.model), "OLD");
}

TEST(ReplyDecoding, EveryCutOfARealReplyDecodesWithinIt) {
  const std::pair<int, std::string> replies[] = {
      {2, "(230.0 230.0 229.0 021 50.0 27.2 35.0 00001001 2\r"},
      {4, "(230.0 230.0 229.0 021 50.0 27.2 35.0 00001001 001 0000\r"},
      {1, kBinaryOnLine},
  };
  for (const auto& [protocol, reply] : replies) {
    for (std::size_t n = 0; n <= reply.size(); ++n) {
      LinkFixture f(protocol);
      const int result = f.decode(*f.tables.group(1).command(f.tables.group(1).count),
                                  std::string_view(reply).substr(0, n));
      EXPECT_TRUE(result == 0 || result == 1);
      EXPECT_GE(f.record.estChargeRemaining, -2);
      EXPECT_LE(f.record.estChargeRemaining, 100);
    }
  }
}

}  // namespace
}  // namespace orvik
