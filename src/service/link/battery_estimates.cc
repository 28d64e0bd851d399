#include "service/link/battery_estimates.h"

#include <algorithm>
#include <cctype>

namespace orvik {
namespace {

// Battery voltage (0.1 V) at 0, 20, 40, ... 120 % charge.
constexpr int kOnLineTable[7] = {225, 235, 245, 255, 265, 275, 282};
constexpr int kOnBatteryTable[7] = {200, 205, 210, 220, 230, 240, 250};

struct ChargeLine {
  int nominal;
  int offset;
  int divisor;
};
constexpr ChargeLine kChargeLines[] = {
    {120, 10387, 26},  {180, 15581, 39},    {240, 20774, 52},
    {360, 31161, 78},  {480, 39448, 118},   {720, 62322, 156},
    {960, 78896, 236}, {2400, 207740, 520}, {2880, 249220, 624},
};

bool followsVoltageTable(std::string_view model) {
  auto startsWith = [&](const char* two) {
    return model.size() >= 2 && std::toupper(static_cast<unsigned char>(model[0])) == two[0] &&
           std::toupper(static_cast<unsigned char>(model[1])) == two[1];
  };
  return model.find("PS") != std::string_view::npos && !startsWith("I-") && !startsWith("SM");
}

int tableCharge(const int (&table)[7], int voltage) {
  // Below entry 1 the lowest segment, from entry 0, is extended: a battery
  // that low is nearly empty, not full.
  int k = 5;
  while (k > 0 && voltage < table[k]) --k;
  const double fraction = static_cast<double>(voltage - table[k]) / (table[k + 1] - table[k]);
  return static_cast<int>(std::clamp(fraction * 20 + 20 * k, 0.0, 100.0));
}

int clampPercent(long long value) { return static_cast<int>(std::clamp(value, 0LL, 100LL)); }

}  // namespace

int chargeEstimate(DecoderState& state, std::string_view model, bool onBattery, int voltage,
                   int nominal) {
  if (followsVoltageTable(model)) {
    if (onBattery) {
      state.chargeOnBattery = tableCharge(kOnBatteryTable, voltage);
      // Started on battery: there is no estimate on line to hold it down.
      if (state.chargeOnLine < 0) return state.chargeOnBattery;
      return std::min(state.chargeOnBattery, state.chargeOnLine);
    }
    state.chargeOnLine = tableCharge(kOnLineTable, voltage);
    return std::max(state.chargeOnLine, state.chargeOnBattery);
  }
  if (nominal < 1) return 0;
  const long long v = voltage;
  for (const ChargeLine& line : kChargeLines) {
    if (line.nominal == nominal) return clampPercent((v * 100 - line.offset) / line.divisor);
  }
  const long long low = nominal * 104LL / 120;
  const long long span = nominal * 130LL / 120 - low;
  return clampPercent((span / 2 + (v - low) * 100) / span);
}

int minutesEstimate(int loadPercent, int voltage, int nominal) {
  if (nominal < 1) return 0;
  if (loadPercent == 0) return 99;
  const long long v = voltage;
  auto minutes = [&](long long x) {
    return static_cast<int>(std::clamp((x / loadPercent + 5) / 10, 0LL, 99LL));
  };
  switch (nominal) {
    case 120:
      return minutes((v - 104) * 3 * 64);
    case 180:
      return minutes((v - 156) * 144);
    case 240:
      return minutes((v - 208) * 96);
    case 360:
      return minutes((v - 312) * 64);
    case 480:
      return minutes((v - 395) * 42);
    default: {
      const long long low = nominal * 104LL / 120;
      const long long high = nominal * 130LL / 120;
      return minutes((5000 / (high - low)) * (v - low));
    }
  }
}

}  // namespace orvik
