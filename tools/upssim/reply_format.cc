#include "reply_format.h"

#include <algorithm>
#include <cstdio>

namespace orvik::upssim {

std::string fixedField(double value, int width, int decimals, double lo, double hi) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%0*.*f", width, decimals, std::clamp(value, lo, hi));
  return buffer;
}

std::string zeroPadded(long long value, int digits) {
  long long limit = 1;
  for (int i = 0; i < digits; ++i) limit *= 10;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%0*lld", digits, std::clamp(value, 0LL, limit - 1));
  return buffer;
}

std::string atLeastDigits(long long value, int digits) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%0*lld", digits, value);
  return buffer;
}

std::string paddedText(const std::string& text, int width) {
  std::string out = text.substr(0, width);
  out.resize(width, ' ');
  return out;
}

}  // namespace orvik::upssim
