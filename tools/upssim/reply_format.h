// Number formatting for fixed-width reply fields. Values are clamped to what
// the field can show, so a reply never shifts its columns whatever the
// simulated state holds.
#pragma once

#include <string>

namespace orvik::upssim {

// "%0<width>.<decimals>f" of value clamped to lo..hi.
std::string fixedField(double value, int width, int decimals, double lo, double hi);
// value clamped to 0..10^digits - 1, zero-padded to digits.
std::string zeroPadded(long long value, int digits);
// value zero-padded to at least digits; longer values keep every digit
// (a host reading a fixed count up to the line end still gets them).
std::string atLeastDigits(long long value, int digits);
// Text cut or blank-padded to exactly width characters.
std::string paddedText(const std::string& text, int width);

}  // namespace orvik::upssim
