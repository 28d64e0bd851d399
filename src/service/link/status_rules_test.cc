// The status and derived-value rules of reply decoding, driven by real
// replies: alarm bits with their edges and the time on battery, battery
// status, output source, test results, selectors, and the measured values
// that depend on the family, the model class or other fields.
#include <gtest/gtest.h>

#include <string>

#include "service/link/link_test_support.h"

namespace orvik {
namespace {

using link_test::expectFields;
using link_test::LinkFixture;

constexpr unsigned kOnBattery = 1, kLowBattery = 2, kInputBad = 5, kOnBypass = 8;
constexpr unsigned kTestRunning = 23;

// A "Q1" status reply with the eight status digits from column 39.
std::string q1Status(const char* digits, const char* battery = "27.2",
                     const char* voltages = "230.0 230.0 229.0") {
  return std::string("(") + voltages + " 021 50.0 " + battery + " 35.0 " + digits + " 0\r";
}

// A binary status reply with the status byte of column 10, charge code and model byte.
std::string binaryStatus(uint8_t status, uint8_t charge = 0x40, uint8_t model = 0x5a) {
  std::string r("\x21\x40\x73\x73\x32\x00\x32\x00\x00\x00\x00\x4B\x5A\x00\x00\x01", 16);
  r[1] = static_cast<char>(charge);
  r[9] = static_cast<char>(status);
  r[12] = static_cast<char>(model);
  return r;
}

TEST(AlarmRule, UtilityFailDigitSetsInputBadAndOnBatteryThenCountsSeconds) {
  LinkFixture f(2);
  f.clock.advanceMs(10'000);
  f.decode("Q1", q1Status("10000000"));
  expectFields({{"input bad", f.alarmBit(kInputBad), 1},
                {"on battery", f.alarmBit(kOnBattery), 1},
                {"seconds", f.record.secondsOnBattery, 0},
                {"bads", f.record.inputLineBads, 1}});
  f.clock.advanceMs(4'500);
  f.decode("Q1", q1Status("10000000"));
  expectFields({{"seconds", f.record.secondsOnBattery, 4}, {"bads", f.record.inputLineBads, 1}});
  f.decode("Q1", q1Status("00000000"));
  expectFields({{"input bad", f.alarmBit(kInputBad), 0},
                {"on battery", f.alarmBit(kOnBattery), 0},
                {"seconds", f.record.secondsOnBattery, 0}});
  f.decode("Q1", q1Status("10000000"));
  EXPECT_EQ(f.record.inputLineBads, 2) << "one count per failure";

  LinkFixture wrap(2);  // the 32-bit process clock wraps during the failure
  wrap.clock.advanceMs(0xffffffffLL - 1'000);
  wrap.decode("Q1", q1Status("10000000"));
  wrap.clock.advanceMs(3'000);
  wrap.decode("Q1", q1Status("10000000"));
  EXPECT_EQ(wrap.record.secondsOnBattery, 3);
}

TEST(AlarmRule, ATestInProgressFreezesTheOnBatteryBit) {
  LinkFixture f(2);
  f.record.alarmFlags |= 1u << kTestRunning;
  f.decode("Q1", q1Status("10000100"));  // digit 44: the test goes on
  expectFields({{"on battery", f.alarmBit(kOnBattery), 0},
                {"input bad", f.alarmBit(kInputBad), 1},
                {"test running", f.alarmBit(kTestRunning), 1},
                {"source", f.record.outputSource, 3}});
  f.record.alarmFlags |= 1u << kOnBattery;
  f.record.secondsOnBattery = 17;
  f.decode("Q1", q1Status("00000100"));
  expectFields(
      {{"on battery", f.alarmBit(kOnBattery), 1}, {"seconds", f.record.secondsOnBattery, 17}});
}

TEST(BatteryStatusRule, CodesAndDigitsSetStatusAndBitsAndTheirReturnClearsTheBits) {
  LinkFixture q(2);
  q.decode("Q1", q1Status("01000000"));
  expectFields({{"low", q.alarmBit(kLowBattery), 1}, {"status", q.record.batteryStatus, 3}});
  q.decode("Q1", q1Status("00000000"));
  EXPECT_FALSE(q.alarmBit(kLowBattery));

  const std::tuple<const char*, int, uint32_t> cases[] = {{"02\r\n", 2, 0},
                                                          {"03\r\n", 3, 0x04},
                                                          {"04\r\n", 4, 0x08},
                                                          {"01\r\n", -2, 0},
                                                          {"09\r\n", -2, 0}};
  for (const auto& [reply, status, bits] : cases) {
    LinkFixture f(5);
    f.decode("BS", reply);
    expectFields({{reply, f.record.batteryStatus, status},
                  {reply, int(f.record.alarmFlags & 0xf), int(bits)}});
  }
  LinkFixture f(5);  // normal does not cover a battery bit still set
  f.decode("BS", "03\r\n");
  f.record.alarmFlags |= 1u << 0;
  f.decode("BS", "02\r\n");
  EXPECT_EQ(f.record.batteryStatus, 3);
}

TEST(OutputSourceRule, TwoLetterCodesByModelClass) {
  const std::tuple<const char*, int16_t, int> cases[] = {
      {"03\r\n", 1, 3}, {"04\r\n", 1, 9}, {"04\r\n", 0, 4}, {"06\r\n", 1, 6},
      {"06\r\n", 0, 4}, {"07\r\n", 1, 7}, {"07\r\n", 0, 4}, {"05\r\n", 1, 9}};
  for (const auto& [reply, modelKind, source] : cases) {
    LinkFixture f(5);
    f.record.outputSource = 9;
    f.ctx.decoder.modelKind = modelKind;
    f.decode("OS", reply);
    EXPECT_EQ(f.record.outputSource, source) << reply << " class " << modelKind;
  }
  LinkFixture f(5);
  f.record.alarmFlags |= 1u << kOnBattery;
  f.decode("OS", "03\r\n");
  EXPECT_EQ(f.record.outputSource, 5) << "on battery whatever the code";
}

TEST(OutputSourceRule, Q1BypassDigitTellsBoostFromTrimByTheVoltages) {
  // Input, fault and output voltage: output 30 V above input boosts, below trims.
  const std::pair<const char*, int> cases[] = {
      {"200.0 200.0 230.0", 6}, {"260.0 260.0 230.0", 7}, {"232.0 232.0 230.0", 7}};
  for (const auto& [voltages, source] : cases) {
    LinkFixture f(2);
    f.decode("Q1", q1Status("00100000", "27.2", voltages));
    EXPECT_EQ(f.record.outputSource, source) << voltages;
  }
}

TEST(OutputSourceRule, Class0UnitsMirrorBypassIntoBit8AtTheNextBatteryField) {
  LinkFixture f(3);  // set B: its only battery digit is column 40, before the bypass digit
  f.ctx.decoder.modelKind = 0;
  f.decode("Q1", q1Status("00100000"));
  expectFields({{"source", f.record.outputSource, 4}, {"bypass bit", f.alarmBit(kOnBypass), 0}});
  f.decode("Q1", q1Status("00100000"));
  EXPECT_TRUE(f.alarmBit(kOnBypass));
  f.decode("Q1", q1Status("00000000"));
  f.decode("Q1", q1Status("00000000"));
  EXPECT_FALSE(f.alarmBit(kOnBypass));

  LinkFixture g(3);  // class 1 leaves bit 8 alone
  g.decode("Q1", q1Status("00100000"));
  g.decode("Q1", q1Status("00100000"));
  EXPECT_FALSE(g.alarmBit(kOnBypass));
}

TEST(OutputSourceRule, BinaryBoostAndTrimBitCountsOnlyOnRegulatingVariant2Units) {
  // Byte 9: 0x08 the regulation bit, 0x10 boost (set) or trim (clear).
  const std::tuple<int, uint8_t, int> cases[] = {
      {1, 0x18, 3}, {1, 0x08, 3},  // variant 1: the bits mean something else
      {2, 0x10, 3}, {2, 0x00, 3},  // not regulating
      {2, 0x18, 6}, {2, 0x08, 7}};
  for (const auto& [variant, status, source] : cases) {
    LinkFixture f(1);
    f.ctx.protocolVariant = variant;
    f.decode(*f.tables.group(1).command(1), binaryStatus(status));
    EXPECT_EQ(f.record.outputSource, source) << variant << " " << int(status);
  }
}

TEST(TestResultRule, CodesSetSummaryAndDetailAndTheUnfinishedTestItsTicks) {
  const std::tuple<const char*, int, const char*, bool> cases[] = {
      {"001\r\n", 1, "Test finished without failure", false},
      {"002\r\n", 2, "", false},
      {"003\r\n", 3, "", false},
      {"004\r\n", 4, "", false},
      {"005\r\n", 5, "Test did not yet finish", true},
      {"006\r\n", 6, "No test requested", false},
      {"009\r\n", 6, "", true}};
  for (const auto& [reply, summary, detail, running] : cases) {
    LinkFixture f(6);
    f.record.alarmFlags |= 1u << kTestRunning;
    f.clock.advanceMs(50'000);
    f.record.serviceStartTicks = 1'000;  // 10 s
    f.record.testStartTicks = 3'000;     // 40 s
    f.decode("TR", reply);
    expectFields({{reply, f.record.testResultsSummary, summary},
                  {reply, f.alarmBit(kTestRunning), running},
                  {reply, f.record.testElapsedTicks, summary == 5 ? 1'000 : 0}});
    EXPECT_EQ(readText(f.record.testResultsDetail), detail);
  }
}

TEST(SelectorRule, AMatchChoosesTheResultAnythingElseKeepsTheValue) {
  LinkFixture f(6);
  const std::tuple<const char*, const char*, int, int> steps[] = {{"FU", "03\r\n", 3, 2},
                                                                  {"FU", "07\r\n", 3, 2},
                                                                  {"CA", "0\r\n", 3, 0},
                                                                  {"CA", "1\r\n", 3, 1},
                                                                  {"CA", "5\r\n", 3, 1}};
  for (const auto& [command, reply, audible, restart] : steps) {
    f.decode(command, reply);
    expectFields({{reply, f.record.confAudible.value, audible},
                  {reply, f.record.autoRestart.value, restart}});
  }
}

TEST(MeasuredValueRules, Q1BatteryReadingBelow3VoltsIsPerCell) {
  const std::tuple<const char*, int16_t, int16_t, int> cases[] = {
      {"2.27", 0, 240, 272},  // 12 cells of a 24 V battery
      {"2.27", 1, 240, 272},  // class 1 units alike
      {"2.27", 0, 480, 544},  // class 0 units always give one cell
      {"27.2", 1, 240, 272},  // otherwise the battery voltage itself
      {"2.27", 1, 0, 0}};     // per cell without a nominal voltage
  for (const auto& [reading, modelKind, nominal, stored] : cases) {
    LinkFixture f(2);
    f.ctx.decoder.modelKind = modelKind;
    f.record.nominalBatteryVoltage = nominal;
    f.decode("Q1", q1Status("00000000", reading));
    EXPECT_EQ(f.record.batteryVoltage, stored) << reading << " class " << modelKind;
  }
}

TEST(MeasuredValueRules, BatteryVoltageGivesTheNominalVoltageAndTheEstimates) {
  LinkFixture f(7);
  f.record.inputVoltage[0] = 0;  // without input the nominal stays unknown
  f.decode("BV", "272\r\n");
  EXPECT_EQ(f.record.nominalBatteryVoltage, 0);
  f.record.inputVoltage[0] = 230;
  f.decode("BV", "272\r\n");
  EXPECT_EQ(f.record.nominalBatteryVoltage, 240) << "the multiple of 120 below the reading";
  f.decode("BV", "410\r\n");
  EXPECT_EQ(f.record.nominalBatteryVoltage, 240) << "found once";

  f.decode("OL", "000\r\n");
  f.decode("BV", "230\r\n");
  EXPECT_EQ(f.record.estMinutesRemaining, 99) << "no load";
  f.decode("OL", "050\r\n");
  f.decode("BV", "230\r\n");
  EXPECT_EQ(f.record.estMinutesRemaining, 4);  // (22 * 96 / 50 + 5) / 10
}

TEST(MeasuredValueRules, NominalFrequencyIsGuessedOnceFromTheFirstMeasurement) {
  LinkFixture f(7);
  f.decode("NF", "600\r\n");
  EXPECT_EQ(f.record.confInFreq.value, kNotAvailable) << "no input voltage yet";
  f.record.inputVoltage[0] = f.record.outputVoltage[0] = 120;
  f.decode("NF", "600\r\n");
  f.decode("NF", "500\r\n");
  f.decode("OF", "649\r\n");
  expectFields({{"in", f.record.confInFreq.value, 600}, {"out", f.record.confOutFreq.value, 600}});
  LinkFixture g(7);
  g.record.outputVoltage[0] = 230;
  g.decode("OF", "651\r\n");
  EXPECT_EQ(g.record.confOutFreq.value, 500);
}

TEST(MeasuredValueRules, Q1OutputFrequencyIsTheNominalOneOnceSecondsOnBatteryCount) {
  LinkFixture f(2);
  f.record.confOutFreq.value = 600;
  f.decode("Q1", q1Status("10000000"));
  EXPECT_EQ(f.record.outputFrequency, 500);
  f.clock.advanceMs(2'000);
  f.decode("Q1", q1Status("10000000"));
  f.decode("Q1", q1Status("10000000"));
  EXPECT_EQ(f.record.outputFrequency, 600);
}

TEST(MeasuredValueRules, BinaryNominalVoltageAndBatteryVoltageCodes) {
  const int volts[16] = {100, 110, 115, 120, -2, -2, -2, 200, 220, 230, 240, -2, -2, -2, -2, -2};
  for (int code = 0; code < 16; ++code) {
    LinkFixture f(1);
    f.decode(*f.tables.group(1).command(1),
             binaryStatus(0, 0x40, static_cast<uint8_t>(0x40 | code)));
    expectFields({{"in", f.record.confInVolt.value, volts[code]},
                  {"out", f.record.confOutVolt.value, volts[code]}});
  }
  // Charge code, high nibble of byte 12 (5, 6 and 8 are 24 V models), stored.
  const std::tuple<uint8_t, uint8_t, int> cases[] = {
      {100, 0x40, 136}, {30, 0x40, 115},  {29, 0x40, 114},  {0, 0x40, 110},  {127, 0x40, 144},
      {200, 0x40, -2},  {100, 0x60, 272}, {100, 0x80, 272}, {100, 0x70, 136}};
  for (const auto& [charge, model, stored] : cases) {
    LinkFixture f(1);
    f.decode(*f.tables.group(1).command(1), binaryStatus(0, charge, model));
    EXPECT_EQ(f.record.batteryVoltage, stored) << int(charge) << " " << int(model);
  }
}

TEST(FieldChecks, ARangeDropsValuesOutsideItAndListedValuesAreNotCheckedOnTheWayIn) {
  const FieldRecord fields[] = {
      {.variableId = 26,
       .column = 1,
       .widthBits = 24,
       .conversion = Conversion::dec,
       .check = {.checkMode = CheckMode::paramCheck, .valueTable = {-2, 0, 60}}}};
  const CommandRecord delay{.commandText = "DL", .fields = fields};
  LinkFixture f(5);
  f.record.shutdownAfterDelay.value = 20;
  const std::pair<const char*, int> steps[] = {{"061", 20}, {"-01", 20}, {"060", 60}, {"000", 0}};
  for (const auto& [reply, stored] : steps) {
    f.decode(delay, reply);
    EXPECT_EQ(f.record.shutdownAfterDelay.value, stored) << reply;
  }
  f.decode("FL", "100\r\n");
  EXPECT_EQ(f.record.lowTransferVoltage.value, 100);
}

}  // namespace
}  // namespace orvik
