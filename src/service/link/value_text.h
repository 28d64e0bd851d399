// Numbers read from UPS replies and the texts cut from them. Replies are
// external input: every reader here looks only at the characters it is given
// (no terminating NUL is assumed), never fails, and saturates instead of
// overflowing.
#pragma once

#include <cstdint>
#include <string_view>

namespace orvik {

// Leading blanks, an optional sign, then digits up to the first other
// character; 0 without leading digits. Saturates at the int32 limits.
int64_t decimalValue(std::string_view text);

// Hex digits in either case, any "x" skipped, up to the first other
// character; 0 without digits. Saturates at 0xffffffff.
int64_t hexValue(std::string_view text);

// Leading blanks, an optional sign, then the longest decimal number
// ("2.27", "-1e3"); 0 without one.
double floatValue(std::string_view text);

// Toward zero, saturating at the int32 limits; NaN gives 0.
int64_t truncateValue(double value);

// Into the range of a 16-bit record field.
int16_t saturate16(int64_t value);
int32_t saturate32(int64_t value);

// Without leading and trailing blanks (spaces and tabs).
std::string_view trimBlanks(std::string_view text);

}  // namespace orvik
