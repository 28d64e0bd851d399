// The battery charge and run time the service estimates from the battery
// voltage, the nominal battery voltage and the load, for UPSes that do not
// report them. Voltages in 0.1 V, load in percent.
//
// Threads: the poll task's only (the charge estimate keeps state in the
// decoder).
#pragma once

#include <string_view>

#include "service/link/link_context.h"

namespace orvik {

// Percent, 0 to 100. Models whose name contains "PS" (except names starting
// "I-" or "SM") follow a voltage table of their own, separate on line and on
// battery; the two last results keep the estimate from jumping when the
// power source changes. All others follow a straight line between 86.7 % and
// 108.3 % of the nominal voltage, with fitted lines for the common
// nominal voltages.
int chargeEstimate(DecoderState& state, std::string_view model, bool onBattery, int voltage,
                   int nominal);

// Minutes, 0 to 99; 99 without load.
int minutesEstimate(int loadPercent, int voltage, int nominal);

}  // namespace orvik
