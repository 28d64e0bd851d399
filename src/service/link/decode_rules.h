// The status rules of the reply decoder, shared between the dispatch in
// variable_store.cc and their home in status_rules.cc. Each rule takes the
// variable number and whether the number read matched the field's reference
// value (entry 1 of its value table). Only the decoder includes this.
#pragma once

#include <cstdint>

#include "service/link/link_context.h"

namespace orvik::decode_rules {

// Bits of alarmFlags the decoder sets and clears.
inline constexpr unsigned kBatteryBadBit = 0;
inline constexpr unsigned kOnBatteryBit = 1;
inline constexpr unsigned kLowBatteryBit = 2;
inline constexpr unsigned kDepletedBatteryBit = 3;
inline constexpr unsigned kTemperatureBit = 4;
inline constexpr unsigned kInputBadBit = 5;
inline constexpr unsigned kOutputBadBit = 6;
inline constexpr unsigned kOverloadBit = 7;
inline constexpr unsigned kOnBypassBit = 8;
inline constexpr unsigned kTestInProgressBit = 23;

// Variables 32, 34, 43, 71, 72.
void alarmRule(LinkContext& ctx, uint32_t number, bool match);
// Variables 44 to 47: batteryStatus and the battery bits.
void batteryStatusRule(LinkContext& ctx, uint32_t number, bool match);
// Variables 39 to 42 and 70: outputSource.
void outputSourceRule(LinkContext& ctx, uint32_t number, bool match, int64_t numberRead);
// Variables 27 and 80 to 84: testResultsSummary and testResultsDetail.
void testResultRule(LinkContext& ctx, uint32_t number, bool match);

}  // namespace orvik::decode_rules
