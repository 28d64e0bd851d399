#include "service/link/battery_estimates.h"

#include <gtest/gtest.h>

namespace orvik {
namespace {

TEST(ChargeEstimate, FittedLinesOfTheCommonNominalVoltages) {
  struct Case {
    int nominal, voltage, percent;
  };
  const Case cases[] = {
      {120, 125, 81},   {180, 190, 87},  {240, 250, 81},  {360, 370, 74},
      {480, 480, 72},   {720, 740, 74},  {960, 1000, 89}, {2400, 2500, 81},
      {2880, 2950, 73}, {600, 600, 62},  // any other nominal: 86.7 % to 108.3 % of it
      {240, 200, 0},    {240, 300, 100}, {0, 250, 0},     {-2, 250, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.nominal) + " " + std::to_string(c.voltage));
    DecoderState state;
    EXPECT_EQ(chargeEstimate(state, "LINE-1500", false, c.voltage, c.nominal), c.percent);
  }
}

TEST(ChargeEstimate, PsModelsFollowTheirVoltageTableOnLineAndOnBattery) {
  DecoderState state;
  // On line: 255 .. 265 is 60 .. 80 %.
  EXPECT_EQ(chargeEstimate(state, "BACK-UPS 500", false, 260, 240), 70);
  // On battery: 210 .. 220 is 40 .. 60 %.
  EXPECT_EQ(chargeEstimate(state, "BACK-UPS 500", true, 215, 240), 50);
  // Back on line the charging voltage would read 30 %; the last battery
  // estimate holds it up.
  EXPECT_EQ(chargeEstimate(state, "BACK-UPS 500", false, 240, 240), 50);
  // On battery again: no more than the last estimate on line.
  EXPECT_EQ(chargeEstimate(state, "BACK-UPS 500", true, 250, 240), 30);
}

TEST(ChargeEstimate, BelowTheTablesSecondEntryTheLowestSegmentIsExtended) {
  DecoderState state;
  EXPECT_EQ(chargeEstimate(state, "BACK-UPS", false, 230, 240), 10);
  EXPECT_EQ(chargeEstimate(state, "BACK-UPS", false, 220, 240), 0);
  DecoderState battery;
  EXPECT_EQ(chargeEstimate(battery, "BACK-UPS", true, 202, 240), 8);
  EXPECT_EQ(chargeEstimate(battery, "BACK-UPS", true, 120, 240), 0);
}

TEST(ChargeEstimate, StartedOnBatteryThePsTableStandsAlone) {
  DecoderState state;
  EXPECT_EQ(chargeEstimate(state, "BACK-UPS", true, 235, 240), 90);
  EXPECT_EQ(chargeEstimate(state, "BACK-UPS", false, 240, 240), 90) << "held up on line";
}

TEST(ChargeEstimate, OnlyModelsWithPsOutsideTheISmLinesUseTheTable) {
  const char* fitted[] = {"SMART-UPS 1000", "sm-PS", "I-PS 700", "i-PS", "BACK-ups", ""};
  for (const char* model : fitted) {
    DecoderState state;
    EXPECT_EQ(chargeEstimate(state, model, false, 260, 240), 100) << model;
  }
  DecoderState state;
  EXPECT_EQ(chargeEstimate(state, "XPS", false, 260, 240), 70);
}

TEST(MinutesEstimate, ByNominalVoltageAndLoad) {
  struct Case {
    int load, voltage, nominal, minutes;
  };
  const Case cases[] = {
      {50, 125, 120, 8},  {40, 190, 180, 12}, {35, 250, 240, 12}, {20, 370, 360, 19},
      {25, 480, 480, 14}, {30, 600, 600, 10},  // other nominal: 86.7 % to 108.3 %
      {0, 250, 240, 99},  {0, 100, 240, 99},   // no load
      {35, 250, 0, 0},    {1, 280, 240, 99},  {35, 200, 240, 0},  {-2, 250, 240, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.load) + " " + std::to_string(c.voltage) + " " +
                 std::to_string(c.nominal));
    EXPECT_EQ(minutesEstimate(c.load, c.voltage, c.nominal), c.minutes);
  }
}

}  // namespace
}  // namespace orvik
