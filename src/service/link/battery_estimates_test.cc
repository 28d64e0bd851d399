#include "service/link/battery_estimates.h"

#include <gtest/gtest.h>

namespace orvik {
namespace {

TEST(ChargeEstimate, FittedLinesOfTheCommonNominalVoltagesAndTheGeneralLine) {
  // Nominal, voltage, percent; 600 has no line of its own: 86.7 % to 108.3 % of it.
  const int cases[][3] = {{120, 125, 81},   {180, 190, 87}, {240, 250, 81},  {360, 370, 74},
                          {480, 480, 72},   {720, 740, 74}, {960, 1000, 89}, {2400, 2500, 81},
                          {2880, 2950, 73}, {600, 600, 62}, {240, 200, 0},   {240, 300, 100},
                          {0, 250, 0},      {-2, 250, 0}};
  for (const auto& [nominal, voltage, percent] : cases) {
    DecoderState state;
    EXPECT_EQ(chargeEstimate(state, "LINE-1500", false, voltage, nominal), percent)
        << nominal << " " << voltage;
  }
}

TEST(ChargeEstimate, PsModelsFollowTheirVoltageTablesHeldByTheLastEstimateOfTheOtherSide) {
  DecoderState state;
  EXPECT_EQ(chargeEstimate(state, "BACK-UPS", false, 260, 240), 70);  // 255..265: 60..80 %
  EXPECT_EQ(chargeEstimate(state, "BACK-UPS", true, 215, 240), 50);   // 210..220: 40..60 %
  EXPECT_EQ(chargeEstimate(state, "BACK-UPS", false, 240, 240), 50) << "30 held up";
  EXPECT_EQ(chargeEstimate(state, "BACK-UPS", true, 250, 240), 30) << "100 held down";
  // Below entry 1 the lowest segment goes on down to 0.
  DecoderState fresh;
  EXPECT_EQ(chargeEstimate(fresh, "BACK-UPS", false, 230, 240), 10);
  EXPECT_EQ(chargeEstimate(fresh, "BACK-UPS", false, 220, 240), 0);
  // Started on battery there is no estimate on line to hold it down.
  DecoderState battery;
  EXPECT_EQ(chargeEstimate(battery, "BACK-UPS", true, 202, 240), 8);
  // The "SM" and "I-" lines and names without "PS" use the fitted lines.
  for (const char* model : {"SMART-UPS 1000", "sm-PS", "I-PS 700", "BACK-ups", ""}) {
    DecoderState other;
    EXPECT_EQ(chargeEstimate(other, model, false, 260, 240), 100) << model;
  }
}

TEST(MinutesEstimate, ByNominalVoltageAndLoad) {
  // Load, voltage, nominal, minutes; 600 has no line of its own.
  const int cases[][4] = {{50, 125, 120, 8},  {40, 190, 180, 12}, {35, 250, 240, 12},
                          {20, 370, 360, 19}, {25, 480, 480, 14}, {30, 600, 600, 10},
                          {0, 100, 240, 99},  {35, 250, 0, 0},    {1, 280, 240, 99},
                          {35, 200, 240, 0},  {-2, 250, 240, 0}};
  for (const auto& [load, voltage, nominal, minutes] : cases) {
    EXPECT_EQ(minutesEstimate(load, voltage, nominal), minutes)
        << load << " " << voltage << " " << nominal;
  }
}

}  // namespace
}  // namespace orvik
