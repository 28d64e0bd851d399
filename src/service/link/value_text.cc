#include "service/link/value_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace orvik {
namespace {

constexpr int64_t kMax32 = std::numeric_limits<int32_t>::max();
constexpr int64_t kMin32 = std::numeric_limits<int32_t>::min();

// The blanks the C library's number readers skip.
bool isLeadingBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::size_t skipLeadingBlanks(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isLeadingBlank(text[i])) ++i;
  return i;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

int64_t decimalValue(std::string_view text) {
  std::size_t i = skipLeadingBlanks(text);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = std::min(magnitude * 10 + (text[i] - '0'), kMax32 + 1);
  }
  return negative ? std::max(-magnitude, kMin32) : std::min(magnitude, kMax32);
}

int64_t hexValue(std::string_view text) {
  int64_t value = 0;
  for (char c : text) {
    if (c == 'x' || c == 'X') continue;
    const int digit = hexDigit(c);
    if (digit < 0) break;
    value = std::min<int64_t>(value * 16 + digit, 0xffffffff);
  }
  return value;
}

double floatValue(std::string_view text) {
  std::size_t i = skipLeadingBlanks(text);
  if (i < text.size() && text[i] == '+') {
    // from_chars takes no plus sign; a second sign after it is no number.
    ++i;
    if (i < text.size() && text[i] == '-') return 0;
  }
  double value = 0;
  const auto result = std::from_chars(text.data() + i, text.data() + text.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    return text.substr(i).starts_with('-') ? -std::numeric_limits<double>::max()
                                           : std::numeric_limits<double>::max();
  }
  return result.ec == std::errc() ? value : 0;
}

int64_t truncateValue(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(kMax32)) return kMax32;
  if (value <= static_cast<double>(kMin32)) return kMin32;
  return static_cast<int64_t>(value);
}

int16_t saturate16(int64_t value) {
  return static_cast<int16_t>(std::clamp<int64_t>(value, std::numeric_limits<int16_t>::min(),
                                                  std::numeric_limits<int16_t>::max()));
}

int32_t saturate32(int64_t value) {
  return static_cast<int32_t>(std::clamp(value, kMin32, kMax32));
}

std::string_view trimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace orvik
