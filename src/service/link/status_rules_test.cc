// The status and derived-value rules of reply decoding, driven by real
// replies: alarm bits with their edges and the on-battery time, battery
// status, output source, test results, selectors and the measured-value
// rules that depend on the family, the model class or other fields.
#include <gtest/gtest.h>

#include <string>

#include "service/link/link_test_support.h"
#include "service/link/reply_decoder.h"

namespace orvik {
namespace {

using link_test::LinkFixture;

constexpr unsigned kOnBattery = 1, kLowBattery = 2, kInputBad = 5, kOnBypass = 8;
constexpr unsigned kTestInProgress = 23;

// A set A status reply with the eight status digits from column 39.
std::string q1Status(const char* digits, const char* battery = "27.2",
                     const char* voltages = "230.0 230.0 229.0") {
  return std::string("(") + voltages + " 021 50.0 " + battery + " 35.0 " + digits + " 0\r";
}

TEST(AlarmRule, UtilityFailDigitSetsInputBadAndOnBatteryThenCountsSeconds) {
  LinkFixture f(2);
  f.clock.advanceMs(10'000);
  f.decode("Q1", q1Status("10000000"));
  EXPECT_TRUE(f.alarmBit(kInputBad));
  EXPECT_TRUE(f.alarmBit(kOnBattery));
  EXPECT_EQ(f.record.secondsOnBattery, 0);
  EXPECT_EQ(f.record.inputLineBads, 1);

  f.clock.advanceMs(4'500);
  f.decode("Q1", q1Status("10000000"));
  EXPECT_EQ(f.record.secondsOnBattery, 4);
  EXPECT_EQ(f.record.inputLineBads, 1) << "counted once per failure";

  f.decode("Q1", q1Status("00000000"));
  EXPECT_FALSE(f.alarmBit(kInputBad));
  EXPECT_FALSE(f.alarmBit(kOnBattery));
  EXPECT_EQ(f.record.secondsOnBattery, 0);

  f.decode("Q1", q1Status("10000000"));
  EXPECT_EQ(f.record.inputLineBads, 2);
}

TEST(AlarmRule, SecondsOnBatteryCountAcrossTheClockWrap) {
  LinkFixture f(2);
  f.clock.advanceMs(0xffffffffLL - 1'000);  // the 32-bit clock is about to wrap
  f.decode("Q1", q1Status("10000000"));
  f.clock.advanceMs(3'000);
  f.decode("Q1", q1Status("10000000"));
  EXPECT_EQ(f.record.secondsOnBattery, 3);
}

TEST(AlarmRule, ATestInProgressFreezesTheOnBatteryBit) {
  LinkFixture f(2);
  f.record.alarmFlags |= 1u << kTestInProgress;
  // Digit 44 "1": the test has not finished yet.
  f.decode("Q1", q1Status("10000100"));
  EXPECT_FALSE(f.alarmBit(kOnBattery));
  EXPECT_TRUE(f.alarmBit(kInputBad)) << "only the on-battery bit is frozen";
  EXPECT_TRUE(f.alarmBit(kTestInProgress));
  EXPECT_EQ(f.record.outputSource, 3);

  // Already on battery when the test began: a clear digit changes nothing either.
  f.record.alarmFlags |= 1u << kOnBattery;
  f.record.secondsOnBattery = 17;
  f.decode("Q1", q1Status("00000100"));
  EXPECT_TRUE(f.alarmBit(kOnBattery));
  EXPECT_EQ(f.record.secondsOnBattery, 17);
}

TEST(BatteryStatusRule, LowBatteryDigitSetsStatusAndBitAndItsReturnClearsTheBit) {
  LinkFixture f(2);
  f.decode("Q1", q1Status("01000000"));
  EXPECT_TRUE(f.alarmBit(kLowBattery));
  EXPECT_EQ(f.record.batteryStatus, 3);
  f.decode("Q1", q1Status("00000000"));
  EXPECT_FALSE(f.alarmBit(kLowBattery));
}

TEST(BatteryStatusRule, TwoLetterCodesMapToStatusAndBits) {
  struct Case {
    const char* reply;
    int16_t status;
    uint32_t bits;  // bits 0 to 3
  };
  const Case cases[] = {
      {"02\r\n", 2, 0},  {"03\r\n", 3, 0x04}, {"04\r\n", 4, 0x08},
      {"01\r\n", -2, 0}, {"09\r\n", -2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    LinkFixture f(5);
    f.decode("BS", c.reply);
    EXPECT_EQ(f.record.batteryStatus, c.status);
    EXPECT_EQ(f.record.alarmFlags & 0xf, c.bits);
  }
  // Normal does not overwrite a low status while a battery bit is still set.
  LinkFixture f(5);
  f.decode("BS", "03\r\n");
  f.record.alarmFlags |= 1u << 0;
  f.decode("BS", "02\r\n");
  EXPECT_EQ(f.record.batteryStatus, 3);
}

TEST(OutputSourceRule, TwoLetterCodesByModelClass) {
  struct Case {
    const char* reply;
    int16_t modelKind;
    int16_t source;
  };
  const Case cases[] = {
      {"03\r\n", 1, 3}, {"04\r\n", 1, 9}, {"04\r\n", 0, 4}, {"06\r\n", 1, 6},
      {"06\r\n", 0, 4}, {"07\r\n", 1, 7}, {"07\r\n", 0, 4}, {"05\r\n", 1, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.reply) + " class " + std::to_string(c.modelKind));
    LinkFixture f(5);
    f.record.outputSource = 9;
    f.ctx.decoder.modelKind = c.modelKind;
    f.decode("OS", c.reply);
    EXPECT_EQ(f.record.outputSource, c.source);
  }
  LinkFixture f(5);
  f.record.alarmFlags |= 1u << kOnBattery;
  f.decode("OS", "03\r\n");
  EXPECT_EQ(f.record.outputSource, 5) << "on battery whatever the code";
}

TEST(OutputSourceRule, Q1BypassDigitTellsBoostFromReduceByTheVoltages) {
  struct Case {
    const char* voltages;  // input, fault, output
    int16_t source;
  };
  const Case cases[] = {
      {"200.0 200.0 230.0", 6},  // output 30 V above input: boosting
      {"260.0 260.0 230.0", 7},  // below: reducing
      {"232.0 232.0 230.0", 7},  // within 5 V
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.voltages);
    LinkFixture f(2);
    f.decode("Q1", q1Status("00100000", "27.2", c.voltages));
    EXPECT_EQ(f.record.outputSource, c.source);
  }
}

TEST(OutputSourceRule, Class0UnitsMirrorBypassIntoBit8AtTheNextBatteryField) {
  // Set B: its only battery digit is in column 40.
  LinkFixture f(3);
  f.ctx.decoder.modelKind = 0;
  f.decode("Q1", q1Status("00100000"));
  EXPECT_EQ(f.record.outputSource, 4);
  // The battery digit (column 40) comes before the bypass digit (41).
  EXPECT_FALSE(f.alarmBit(kOnBypass));
  f.decode("Q1", q1Status("00100000"));
  EXPECT_TRUE(f.alarmBit(kOnBypass));
  f.decode("Q1", q1Status("00000000"));
  f.decode("Q1", q1Status("00000000"));
  EXPECT_FALSE(f.alarmBit(kOnBypass));

  LinkFixture g(3);  // class 1 units leave bit 8 alone
  g.decode("Q1", q1Status("00100000"));
  g.decode("Q1", q1Status("00100000"));
  EXPECT_FALSE(g.alarmBit(kOnBypass));
}

TEST(OutputSourceRule, BinaryBoostAndTrimBitCountsOnlyOnRegulatingVariant2Units) {
  // Byte 9: 0x08 the regulation bit, 0x10 boost (set) or trim (clear).
  auto reply = [](uint8_t status) {
    std::string r("\x21\x40\x73\x73\x32\x00\x32\x00\x00\x00\x00\x4B\x5A\x00\x00\x01", 16);
    r[9] = static_cast<char>(status);
    return r;
  };
  struct Case {
    int variant;
    uint8_t status;
    int16_t source;
  };
  const Case cases[] = {
      {1, 0x18, 3},                // variant 1: the bits mean something else
      {1, 0x08, 3}, {2, 0x10, 3},  // not regulating: the boost bit means nothing
      {2, 0x00, 3}, {2, 0x18, 6},  // boosting
      {2, 0x08, 7},                // trimming
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.variant) + " " + std::to_string(c.status));
    LinkFixture f(1);
    f.ctx.protocolVariant = c.variant;
    f.decode(*f.tables.group(1).command(1), reply(c.status));
    EXPECT_EQ(f.record.outputSource, c.source);
  }
}

TEST(TestResultRule, TwoLetterCodesSetSummaryAndDetail) {
  struct Case {
    const char* reply;
    int16_t summary;
    const char* detail;
    bool stillRunning;
  };
  const Case cases[] = {
      {"001\r\n", 1, "Test finished without failure", false},
      {"002\r\n", 2, "", false},
      {"003\r\n", 3, "", false},
      {"004\r\n", 4, "", false},
      {"005\r\n", 5, "Test did not yet finish", true},
      {"006\r\n", 6, "No test requested", false},
      {"009\r\n", 6, "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    LinkFixture f(6);
    f.record.alarmFlags |= 1u << kTestInProgress;
    f.decode("TR", c.reply);
    EXPECT_EQ(f.record.testResultsSummary, c.summary);
    EXPECT_EQ(readText(f.record.testResultsDetail), c.detail);
    EXPECT_EQ(f.alarmBit(kTestInProgress), c.stillRunning);
  }
}

TEST(TestResultRule, UnfinishedTestRecordsTheTicksSinceItsStart) {
  LinkFixture f(6);
  f.clock.advanceMs(50'000);
  f.record.serviceStartTicks = 1'000;  // service started at 10 s
  f.record.testStartTicks = 3'000;     // test started at 40 s
  f.decode("TR", "005\r\n");
  EXPECT_EQ(f.record.testElapsedTicks, 1'000);  // 10 s, in hundredths
}

TEST(SelectorRule, MatchesChooseTheResultOthersKeepTheValue) {
  LinkFixture f(6);
  f.decode("FU", "03\r\n");
  EXPECT_EQ(f.record.confAudible.value, 3);
  f.decode("FU", "07\r\n");
  EXPECT_EQ(f.record.confAudible.value, 3);
  f.decode("CA", "0\r\n");
  EXPECT_EQ(f.record.autoRestart.value, 0);
  f.decode("CA", "1\r\n");
  EXPECT_EQ(f.record.autoRestart.value, 1);
  f.decode("CA", "5\r\n");
  EXPECT_EQ(f.record.autoRestart.value, 1);
}

TEST(MeasuredValueRules, Q1BatteryReadingBelow3VoltsIsPerCell) {
  struct Case {
    const char* reading;
    int16_t modelKind;
    int16_t nominal;
    int16_t stored;
  };
  const Case cases[] = {
      {"2.27", 0, 240, 272},  // a 24 V battery of 12 cells
      {"2.27", 1, 240, 136},  // class 1 units count half the cells
      {"2.27", 0, 480, 544},  // class 0 units always give one cell
      {"27.2", 1, 240, 272},  // otherwise the battery voltage itself
      {"2.27", 1, 0, 0},      // per cell without a nominal voltage
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.reading) + " class " + std::to_string(c.modelKind));
    LinkFixture f(2);
    f.ctx.decoder.modelKind = c.modelKind;
    f.record.nominalBatteryVoltage = c.nominal;
    f.decode("Q1", q1Status("00000000", c.reading));
    EXPECT_EQ(f.record.batteryVoltage, c.stored);
  }
}

TEST(MeasuredValueRules, UnknownNominalBatteryVoltageIsTheMultipleOf120BelowTheReading) {
  LinkFixture f(7);
  f.record.inputVoltage[0] = 0;  // input voltage 0 leaves the nominal unknown
  f.decode("BV", "272\r\n");
  EXPECT_EQ(f.record.nominalBatteryVoltage, 0);
  f.record.inputVoltage[0] = 230;
  f.decode("BV", "272\r\n");
  EXPECT_EQ(f.record.nominalBatteryVoltage, 240);
  f.decode("BV", "410\r\n");
  EXPECT_EQ(f.record.nominalBatteryVoltage, 240) << "found once";
}

TEST(MeasuredValueRules, WithoutLoadTheRunTimeIs99Minutes) {
  LinkFixture f(7);
  f.record.nominalBatteryVoltage = 240;
  f.decode("OL", "000\r\n");
  f.decode("BV", "230\r\n");
  EXPECT_EQ(f.record.estMinutesRemaining, 99);
  f.decode("OL", "050\r\n");
  f.decode("BV", "230\r\n");
  EXPECT_EQ(f.record.estMinutesRemaining, 4);  // (22 * 96 / 50 + 5) / 10
}

TEST(MeasuredValueRules, NominalFrequencyIsGuessedOnceFromTheFirstMeasurement) {
  LinkFixture f(7);
  f.decode("NF", "600\r\n");
  EXPECT_EQ(f.record.confInFreq.value, kNotAvailable) << "no input voltage yet";
  f.record.inputVoltage[0] = 120;
  f.record.outputVoltage[0] = 120;
  f.decode("NF", "600\r\n");
  EXPECT_EQ(f.record.confInFreq.value, 600);
  f.decode("NF", "500\r\n");
  EXPECT_EQ(f.record.confInFreq.value, 600);
  f.decode("OF", "649\r\n");
  EXPECT_EQ(f.record.confOutFreq.value, 600);

  LinkFixture g(7);
  g.record.outputVoltage[0] = 230;
  g.decode("OF", "651\r\n");
  EXPECT_EQ(g.record.confOutFreq.value, 500);
}

TEST(MeasuredValueRules, Q1OutputFrequencyIsTheNominalOneWhileOnBattery) {
  LinkFixture f(2);
  f.record.confOutFreq.value = 600;
  f.decode("Q1", q1Status("10000000"));
  EXPECT_EQ(f.record.outputFrequency, 500) << "seconds on battery still 0";
  f.clock.advanceMs(2'000);
  f.decode("Q1", q1Status("10000000"));
  f.decode("Q1", q1Status("10000000"));
  EXPECT_EQ(f.record.outputFrequency, 600);
}

TEST(MeasuredValueRules, BinaryNominalVoltageCodes) {
  const int16_t expected[16] = {100, 110, 115, 120, -2, -2, -2, 200,
                                220, 230, 240, -2,  -2, -2, -2, -2};
  for (int code = 0; code < 16; ++code) {
    SCOPED_TRACE(code);
    LinkFixture f(1);
    std::string reply("\x21\x40\x73\x73\x32\x00\x32\x00\x00\x00\x00\x4F\x50\x00\x00\x01", 16);
    reply[12] = static_cast<char>(0x50 | code);
    f.decode(*f.tables.group(1).command(1), reply);
    EXPECT_EQ(f.record.confInVolt.value, expected[code]);
    EXPECT_EQ(f.record.confOutVolt.value, expected[code]);
  }
}

TEST(MeasuredValueRules, BinaryBatteryVoltageFromTheChargeCode) {
  struct Case {
    uint8_t code;
    uint8_t modelNibble;
    int16_t stored;
  };
  const Case cases[] = {
      {100, 0x4, 136}, {30, 0x4, 115},  {29, 0x4, 114},
      {0, 0x4, 110},   {127, 0x4, 144}, {200, 0x4, -2},  // negative as a signed byte
      {100, 0x6, 272}, {100, 0x8, 272}, {100, 0x7, 136},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.code) + " nibble " + std::to_string(c.modelNibble));
    LinkFixture f(1);
    std::string reply("\x21\x40\x73\x73\x32\x00\x32\x00\x00\x00\x00\x4F\x50\x00\x00\x01", 16);
    reply[1] = static_cast<char>(c.code);
    reply[12] = static_cast<char>(c.modelNibble << 4);
    f.decode(*f.tables.group(1).command(1), reply);
    EXPECT_EQ(f.record.batteryVoltage, c.stored);
  }
}

TEST(FieldChecks, AValueOutsideARangeLeavesTheTarget) {
  // A switch-off delay read back within 0..60 seconds.
  const FieldRecord fields[] = {
      {.variableId = 26,
       .column = 1,
       .widthBits = 24,
       .conversion = Conversion::dec,
       .check = {.checkMode = CheckMode::paramCheck, .valueTable = {-2, 0, 60}}},
  };
  const CommandRecord command{.commandText = "DL", .fields = fields};
  LinkFixture f(5);
  f.record.shutdownAfterDelay.value = 20;
  f.decode(command, "061");
  EXPECT_EQ(f.record.shutdownAfterDelay.value, 20);
  f.decode(command, "-01");
  EXPECT_EQ(f.record.shutdownAfterDelay.value, 20);
  f.decode(command, "060");
  EXPECT_EQ(f.record.shutdownAfterDelay.value, 60);
  f.decode(command, "000");
  EXPECT_EQ(f.record.shutdownAfterDelay.value, 0);
}

TEST(FieldChecks, ListedValuesAreNotCheckedOnTheWayIn) {
  LinkFixture f(7);
  f.decode("FL", "100\r\n");
  EXPECT_EQ(f.record.lowTransferVoltage.value, 100);
}

}  // namespace
}  // namespace orvik
