// Whole replies of each protocol family, decoded with the real tables and the
// sample "ident.ini", checked field by field against the record.
#include "service/link/reply_decoder.h"

#include <gtest/gtest.h>

#include <string>

#include "service/link/link_test_support.h"

namespace orvik {
namespace {

using link_test::expectFields;
using link_test::LinkFixture;

// < 21 40 73 73 32 00 32 00 00 00 00 4B 5A 00 00 01
//   1  2  3  4  5  6  7  8  9  10 11 12 13 14 15 16
// Load 33 %, charge code 64, 115 V / 2 in and out, 50 Hz in and out, no status
// bit, model "K" with nibbles 5 (a 24 V model) and 10 (240 V), byte 15 = 1.
const std::string kBinaryOnLine("\x21\x40\x73\x73\x32\x00\x32\x00\x00\x00\x00\x4B\x5A\x00\x00\x01",
                                16);

TEST(BinaryReply, EveryFieldLandsInItsRecordField) {
  LinkFixture f(1);
  f.ctx.protocolVariant = 2;  // byte 11 is "K"
  f.record.inputNumLines = f.record.outputNumLines = 0;
  const StatusRecord& r = f.record;

  EXPECT_EQ(f.decode(*f.tables.group(1).command(1), kBinaryOnLine), 0);
  expectFields({{"load", r.outputPercentLoad[0], 33}});
  expectFields({{"battery V: (115 + 34 * 21 / 70) * 2", r.batteryVoltage, 250}});
  expectFields({{"input V", r.inputVoltage[0], 230}, {"output V", r.outputVoltage[0], 230}});
  expectFields({{"input Hz", r.inputFrequency[0], 500}, {"output Hz", r.outputFrequency, 500}});
  expectFields({{"nominal in Hz", r.confInFreq.value, 500}, {"out Hz", r.confOutFreq.value, 500}});
  expectFields({{"source", r.outputSource, 3}, {"battery", r.batteryStatus, 2}});
  expectFields({{"alarms", static_cast<int>(r.alarmFlags), 0x01000000}});
  expectFields({{"test", r.testResultsSummary, 1}, {"in lines", r.inputNumLines, 1}});
  expectFields({{"out lines", r.outputNumLines, 1}, {"nominal in V", r.confInVolt.value, 240}});
  expectFields({{"nominal out V", r.confOutVolt.value, 240}});
  expectFields({{"nominal battery", r.nominalBatteryVoltage, 240}, {"VA", r.configOutputVA, 1000}});
  expectFields({{"W", r.configOutputPower, 670}});
  // The nominal battery voltage comes after the battery field.
  expectFields({{"charge", r.estChargeRemaining, 0}, {"minutes", r.estMinutesRemaining, 0}});
  EXPECT_EQ(readText(r.testResultsDetail), "Test finished without failure");
  // Keys "4B", "50" and, until byte 15 has been seen twice, "00".
  EXPECT_EQ(readText(r.model), "SMART 1000");
  EXPECT_EQ(readText(r.manufacturer), "ACME-POWER");

  EXPECT_EQ(f.decode(*f.tables.group(1).command(1), kBinaryOnLine), 0);
  EXPECT_EQ(readText(r.model), "SMART 1000 XL");
  expectFields({{"charge: (25000 - 20774) / 52", r.estChargeRemaining, 81}});
  expectFields({{"minutes: (42 * 96 / 33 + 5) / 10", r.estMinutesRemaining, 12}});
}

TEST(BinaryReply, OnBatteryBitsAndTheLoadCorrectedBatteryVoltage) {
  LinkFixture f(1);
  std::string reply = kBinaryOnLine;
  reply[9] = 0x01;  // column 10, bit 1: utility failed
  f.decode(*f.tables.group(1).command(1), reply);
  f.clock.advanceMs(3000);
  f.decode(*f.tables.group(1).command(1), reply);
  expectFields({{"on battery", f.alarmBit(1), 1}, {"input bad", f.alarmBit(5), 1}});
  expectFields({{"line bads", f.record.inputLineBads, 1}, {"source", f.record.outputSource, 5}});
  expectFields({{"seconds", f.record.secondsOnBattery, 3}});
  expectFields({{"battery V: (125 - 0.1 * 33) * 2", f.record.batteryVoltage, 242}});
}

// > "I\r"  < "#ACME-POWER      VALUE-1000 V01.02.0003\r"
// > "F\r"  < "#230.0 004 12.00 50.0\r"
// > "Q1\r" < "(230.0 230.0 229.0 021 50.0 27.2 35.0 00001001 0\r"
//              1        10        20        30        40
//              1234567890123456789012345678901234567890123456789
TEST(Q1SetAReply, IdentityRatingAndStatusLandInTheirRecordFields) {
  LinkFixture f(2);
  f.record.serviceFlags = 0x147;
  f.record.inputNumLines = f.record.outputNumLines = 0;
  const StatusRecord& r = f.record;

  EXPECT_EQ(f.decode("I", "#ACME-POWER      VALUE-1000 V01.02.0003\r"), 0);
  EXPECT_EQ(f.decode("1", "1"), 0);
  EXPECT_EQ(f.decode("F", "#230.0 004 12.00 50.0\r"), 0);
  EXPECT_EQ(f.decode("Q1", "(230.0 230.0 229.0 021 50.0 27.2 35.0 00001001 0\r"), 0);

  EXPECT_EQ(readText(r.model), "VALUE 1000");
  EXPECT_EQ(readText(r.manufacturer), "ACME-POWER");
  EXPECT_EQ(readText(r.upsSoftwareVersion), "V01.02.0003");
  expectFields({{"class 1 clears flag bit 8", r.serviceFlags, 0x47}});
  expectFields({{"in lines", r.inputNumLines, 1}, {"out lines", r.outputNumLines, 1}});
  expectFields({{"nominal in V", r.confInVolt.value, 230}, {"out V", r.confOutVolt.value, 230}});
  expectFields({{"nominal battery: the entry's, not 12.00", r.nominalBatteryVoltage, 240}});
  expectFields({{"nominal in Hz", r.confInFreq.value, 500}, {"out Hz", r.confOutFreq.value, 500}});
  expectFields({{"input V", r.inputVoltage[0], 230}, {"output V", r.outputVoltage[0], 229}});
  expectFields({{"load", r.outputPercentLoad[0], 21}, {"input Hz", r.inputFrequency[0], 500}});
  expectFields({{"output Hz", r.outputFrequency, 500}, {"battery V", r.batteryVoltage, 272}});
  expectFields({{"temperature", r.batteryTemperature, 35}, {"source", r.outputSource, 3}});
  expectFields({{"alarms", static_cast<int>(r.alarmFlags), 0x01000000}});
  expectFields({{"test", r.testResultsSummary, 1}, {"charge", r.estChargeRemaining, 100}});
  expectFields({{"minutes: (64 * 96 / 21 + 5) / 10", r.estMinutesRemaining, 29}});
}

TEST(Q1SetAReply, FaultCodeInColumn48SelectsOneAlarm) {
  // Code: 1 output bad (bit 6), 2 temperature (4), 4 overload (7), 7 battery bad (0).
  const std::pair<char, uint32_t> cases[] = {{'1', 0x40}, {'2', 0x10}, {'4', 0x80},
                                             {'7', 0x01}, {'3', 0},    {'0', 0}};
  for (const auto& [code, bits] : cases) {
    LinkFixture f(2);
    f.record.alarmFlags |= 0xd1;
    std::string reply = "(230.0 230.0 229.0 021 50.0 27.2 35.0 00001001 0\r";
    reply[47] = code;
    f.decode("Q1", reply);
    EXPECT_EQ(f.record.alarmFlags & 0xd1, bits) << code;
  }
}

TEST(ModelRule, AnUnknownModelKeepsItsOwnNameAndNoFactsAreMadeUp) {
  LinkFixture q(2);
  q.decode("I", "#OTHERCO         NEW-9      V01.02.0003\r");
  EXPECT_EQ(readText(q.record.model), "NEW-9");
  EXPECT_EQ(readText(q.record.manufacturer), "OTHERCO");
  expectFields({{"VA", q.record.configOutputVA, kNotAvailable}});
  LinkFixture b(1);
  std::string reply = kBinaryOnLine;
  reply[11] = 'C';  // no such key in the file
  b.decode(*b.tables.group(1).command(1), reply);
  expectFields({{"VA", b.record.configOutputVA, kNotAvailable},
                {"W", b.record.configOutputPower, kNotAvailable}});
  EXPECT_EQ(readText(b.record.model), "");
}

// The common "Q1" unit that "ident.ini" does not list: what it says of
// itself stands, and its per-cell reading gives a full battery.
// > "I\r"  < "#MEGAVOLT       PLAIN-650   V1.0\r"
// > "F\r"  < "#230.0 002 12.00 50.0\r"
// > "Q1\r" < "(230.0 230.0 230.0 023 50.0 2.27 25.0 00000001\r"
TEST(Q1SetCReply, UnlistedUpsKeepsItsOwnNamesAndNominalBatteryVoltage) {
  LinkFixture f(4);
  const StatusRecord& r = f.record;
  // A listed model seen before (another UPS on this port) must not linger.
  EXPECT_EQ(f.decode("I", "#ACME-POWER     VALUE-2000  V01.02.0003\r"), 0);
  ASSERT_EQ(readText(r.model), "VALUE 2000");
  expectFields({{"listed: the entry's VA", r.configOutputVA, 2000}});

  EXPECT_EQ(f.decode("I", "#MEGAVOLT       PLAIN-650   V1.0\r"), 0);
  EXPECT_EQ(f.decode("F", "#230.0 002 12.00 50.0\r"), 0);
  EXPECT_EQ(f.decode("Q1", "(230.0 230.0 230.0 023 50.0 2.27 25.0 00000001\r"), 0);
  EXPECT_EQ(readText(r.manufacturer), "MEGAVOLT");
  EXPECT_EQ(readText(r.model), "PLAIN-650");
  expectFields({{"nominal battery: 12.00 V", r.nominalBatteryVoltage, 120}});
  expectFields({{"six cells of 2.27 V", r.batteryVoltage, 136}});
  EXPECT_GT(r.estChargeRemaining, 90);
  EXPECT_GT(r.estMinutesRemaining, 0);
  expectFields({{"VA unknown", r.configOutputVA, kNotAvailable}});
}

// > "OI\r" < "#0210\r"
// > "I\r"  < "#ACME-POWER     CELL-800    V01.02.0003\r"
TEST(Q1SetBReply, OutletsAndAPerCellBatteryReading) {
  LinkFixture f(3);
  for (Outlet& o : f.record.outlets) o.outletState = 7;
  const StatusRecord& r = f.record;
  EXPECT_EQ(f.decode("OI", "#0210\r"), 0);
  EXPECT_EQ(f.decode("I", "#ACME-POWER     CELL-800    V01.02.0003\r"), 0);
  EXPECT_EQ(f.decode("F", "#230.0 004 12.00 60.0\r"), 0);
  EXPECT_EQ(f.decode("Q1", "(230.0 230.0 229.0 021 60.0 2.10 35.0 00001001\r"), 0);
  EXPECT_EQ(readText(r.model), "CELL 800");
  expectFields({{"outlets", r.outletCount, 2}, {"outlet 1", r.outlets[0].outletState, 1}});
  expectFields({{"outlet 2", r.outlets[1].outletState, 0}});
  expectFields({{"outlet 3", r.outlets[2].outletState, 7}});
  expectFields({{"class 0 sets flag bit 8", r.serviceFlags & 0x100, 0x100}});
  expectFields({{"nominal battery", r.nominalBatteryVoltage, 120}});
  expectFields({{"input Hz", r.inputFrequency[0], 600}, {"output Hz", r.outputFrequency, 600}});
  expectFields({{"one cell: 2.10 * 120 * 0.5", r.batteryVoltage, 126}});
  expectFields({{"charge: (12600 - 10387) / 26", r.estChargeRemaining, 85}});
  expectFields({{"minutes: (22 * 192 / 21 + 5) / 10", r.estMinutesRemaining, 20}});
}

// < "(230.0 230.0 229.0 021 50.0 27.2 35.0 00001001 001 0000\r"
//    1        10        20        30        40        50
//    12345678901234567890123456789012345678901234567890123456
TEST(Q1SetCReply, TheLastOfTheTwoOverloadDigitsDecides) {
  LinkFixture f(4);
  EXPECT_EQ(f.decode("Q1", "(230.0 230.0 229.0 021 50.0 27.2 35.0 00001001 001 0000\r"), 0);
  expectFields({{"overload", f.alarmBit(7), 1}, {"battery V", f.record.batteryVoltage, 272}});
  EXPECT_EQ(f.decode("Q1", "(230.0 230.0 229.0 021 50.0 27.2 35.0 00001001 010 0000\r"), 0);
  EXPECT_FALSE(f.alarmBit(7));
}

TEST(TwoLetterReplies, EveryCommandOfGroupsOneToThreeLandsInItsRecordField) {
  LinkFixture f(7);
  f.record.inputNumLines = f.record.outputNumLines = 0;
  for (Outlet& o : f.record.outlets) o.outletState = 7;
  const std::pair<const char*, const char*> settings[] = {
      {"IM", "ACME-POWER\r\n"}, {"IO", "LINE-1500\r\n"}, {"IS", "B2\r\n"},  {"IZ", "QX0012345\r\n"},
      {"FV", "230\r\n"},        {"FF", "500\r\n"},       {"FO", "230\r\n"}, {"FR", "500\r\n"},
      {"FA", "1500\r\n"},       {"FP", "1050\r\n"},      {"ON", "02\r\n"},  {"BD", "00120\r\n"},
      {"CA", "1\r\n"},          {"FU", "02\r\n"},        {"FL", "093\r\n"}, {"FH", "145\r\n"},
      {"FT", "240\r\n"},        {"FB", "05\r\n"},        {"OI1", "1\r\n"},  {"OI2", "0\r\n"}};
  for (const auto& [command, reply] : settings) EXPECT_EQ(f.decode(command, reply), 0) << command;
  f.decode(*f.tables.group(2).command(5), "1");  // the two fixed replies: one line in, one out
  f.decode(*f.tables.group(2).command(6), "1");
  const std::pair<const char*, const char*> status[] = {
      {"BS", "02\r\n"},  {"BV", "250\r\n"}, {"BT", "31\r\n"},  {"NF", "500\r\n"},
      {"NV", "115\r\n"}, {"OF", "500\r\n"}, {"OV", "115\r\n"}, {"OL", "035\r\n"},
      {"OS", "03\r\n"},  {"AG", "00\r\n"},  {"TR", "001\r\n"}};
  // Twice: the estimates use the load, which comes after the battery voltage.
  for (int lap = 0; lap < 2; ++lap) {
    for (const auto& [command, reply] : status) EXPECT_EQ(f.decode(command, reply), 0) << command;
  }

  const StatusRecord& r = f.record;
  EXPECT_EQ(readText(r.manufacturer), "ACME-POWER");
  EXPECT_EQ(readText(r.model), "LINE-1500");
  EXPECT_EQ(readText(r.upsSoftwareVersion), "B2");
  EXPECT_EQ(readText(r.serialNumber), "QX0012345");
  expectFields({{"in lines", r.inputNumLines, 1}, {"out lines", r.outputNumLines, 1}});
  expectFields({{"nominal in V", r.confInVolt.value, 230}, {"in Hz", r.confInFreq.value, 500}});
  expectFields({{"nominal out V", r.confOutVolt.value, 230}, {"Hz", r.confOutFreq.value, 500}});
  expectFields({{"VA", r.configOutputVA, 1500}, {"W", r.configOutputPower, 1050}});
  expectFields({{"outlets", r.outletCount, 2}, {"battery date", r.batteryDate, 120}});
  expectFields({{"auto restart", r.autoRestart.value, 1}, {"audible", r.confAudible.value, 2}});
  expectFields({{"low transfer", r.lowTransferVoltage.value, 93}});
  expectFields({{"high transfer", r.highTransferVoltage.value, 145}});
  expectFields({{"nominal battery", r.nominalBatteryVoltage, 240}});
  expectFields({{"low battery warning", r.confLowBatt.value, 5}});
  expectFields({{"outlet 1", r.outlets[0].outletState, 1}});
  expectFields({{"outlet 2", r.outlets[1].outletState, 0}});
  expectFields({{"outlet 3", r.outlets[2].outletState, 7}, {"battery", r.batteryStatus, 2}});
  expectFields({{"battery V", r.batteryVoltage, 250}, {"temperature", r.batteryTemperature, 31}});
  expectFields({{"input Hz", r.inputFrequency[0], 500}});
  expectFields({{"input V: 115 * (230 / 180 + 1)", r.inputVoltage[0], 230}});
  expectFields({{"output Hz", r.outputFrequency, 500}, {"output V", r.outputVoltage[0], 230}});
  expectFields({{"load", r.outputPercentLoad[0], 35}, {"source", r.outputSource, 3}});
  expectFields({{"alarms", static_cast<int>(r.alarmFlags), 0x01000000}});
  expectFields({{"test", r.testResultsSummary, 1}});
  expectFields({{"charge: (25000 - 20774) / 52", r.estChargeRemaining, 81}});
  expectFields({{"minutes: (42 * 96 / 35 + 5) / 10", r.estMinutesRemaining, 12}});
}

TEST(TwoLetterReplies, AlarmGroupHexDigitsSetOneBitEach) {
  // Column 1: bit 1 battery bad, bit 2 on battery, bit 4 depleted; column 2:
  // bit 1 temperature, bit 2 input bad, bit 3 output bad, bit 4 overload.
  const std::pair<const char*, uint32_t> cases[] = {
      {"00\r\n", 0},    {"10\r\n", 0x01}, {"20\r\n", 0x02}, {"80\r\n", 0x08}, {"01\r\n", 0x10},
      {"02\r\n", 0x20}, {"04\r\n", 0x40}, {"08\r\n", 0x80}, {"bf\r\n", 0xfb}, {"ZF\r\n", 0xf0}};
  for (const auto& [reply, bits] : cases) {
    LinkFixture f(7);
    f.decode("AG", reply);
    EXPECT_EQ(f.record.alarmFlags & 0xff, bits) << reply;
  }
}

TEST(ReplyDecoding, AFieldThatCannotBeCutEndsDecodingWithResultOne) {
  LinkFixture f(2);
  // The load runs to a blank that never comes; the fields before it stay.
  EXPECT_EQ(f.decode("Q1", "(231.0 230.0 229.0 021"), 1);
  expectFields({{"input V", f.record.inputVoltage[0], 231}});
  expectFields({{"output V", f.record.outputVoltage[0], 229}});
  expectFields({{"load", f.record.outputPercentLoad[0], kNotAvailable}});
  LinkFixture g(7);
  EXPECT_EQ(g.decode("IM", std::string(64, 'A') + "\r\n"), 1) << "64 characters";
  EXPECT_EQ(readText(g.record.manufacturer), "");
  EXPECT_EQ(g.decode("IM", std::string(63, 'A') + "\r\n"), 0);
  EXPECT_EQ(readText(g.record.manufacturer), std::string(63, 'A'));
}

TEST(ReplyDecoding, FieldsBeyondAShortReplyLeaveTheirTargets) {
  LinkFixture f(2);
  f.record.alarmFlags |= 0xd1;
  // Set A reads its fault code from column 48; this reply ends at 47.
  f.decode("Q1", "(230.0 230.0 229.0 021 50.0 27.2 35.0 00001001\r");
  EXPECT_EQ(f.record.alarmFlags & 0xd1, 0xd1u);
  EXPECT_EQ(f.record.testResultsSummary, 1);

  // A binary reply cut after column 9: no status columns, no model bytes.
  LinkFixture b(1);
  setText(b.record.model, "OLD");
  b.decode(*b.tables.group(1).command(1), std::string_view(kBinaryOnLine).substr(0, 9));
  EXPECT_EQ(readText(b.record.model), "OLD");
  expectFields({{"load", b.record.outputPercentLoad[0], 33}});
  expectFields({{"input V", b.record.inputVoltage[0], 230}});
  expectFields({{"test", b.record.testResultsSummary, 6}});
  expectFields({{"battery", b.record.batteryStatus, kNotAvailable}});
  expectFields({{"battery V", b.record.batteryVoltage, kNotAvailable}});
  expectFields({{"nominal V", b.record.confInVolt.value, kNotAvailable}});
}

}  // namespace
}  // namespace orvik
