#include "shared/decimal.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>

namespace orvik {
namespace {

TEST(ParseDecimal, ReadsLeadingNumberLikeTheStandardConversion) {
  struct Case {
    const char* text;
    int expected;
  } cases[] = {
      {"42", 42},   {"  42", 42},  {"\t\r\n\v\f7", 7}, {"+15", 15}, {"-15", -15},
      {"0012", 12}, {"12abc", 12}, {"12 34", 12},      {"3.9", 3},  {"", 0},
      {"   ", 0},   {"abc", 0},    {"-", 0},           {"+", 0},    {"+-1", 0},
      {"- 1", 0},   {"0x1F", 0},   {"-0", 0},          {"1e3", 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parseDecimal(c.text), c.expected) << '"' << c.text << '"';
  }
}

TEST(ParseDecimal, SaturatesBeyondTheIntRange) {
  EXPECT_EQ(parseDecimal("2147483647"), INT_MAX);
  EXPECT_EQ(parseDecimal("2147483648"), INT_MAX);
  EXPECT_EQ(parseDecimal("-2147483648"), INT_MIN);
  EXPECT_EQ(parseDecimal("-2147483649"), INT_MIN);
  EXPECT_EQ(parseDecimal("99999999999999999999999999999999"), INT_MAX);
  EXPECT_EQ(parseDecimal("-99999999999999999999999999999999"), INT_MIN);
  EXPECT_EQ(parseDecimal("00000000000000000000000000000005"), 5);
}

TEST(ParseDecimal, StopsAtTheEndOfTheViewWithoutATerminator) {
  const char field[] = {'1', '2', '3', '4'};
  EXPECT_EQ(parseDecimal(std::string_view(field, 2)), 12);
}

TEST(ParseDecimal, MatchesStrtolOnRandomOrdinaryTexts) {
  const unsigned seed =
      static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
  std::mt19937 random(seed);
  std::cout << "random texts from seed " << seed << "\n";
  SCOPED_TRACE("seed " + std::to_string(seed));
  const std::string blanks = " \t\n\r";
  const std::string tails[] = {"", " ", "x", ".5", "-3", "\r\n", "abc"};
  std::uniform_int_distribution<int> value(INT_MIN, INT_MAX);
  std::uniform_int_distribution<int> small(0, 3);
  std::uniform_int_distribution<int> pick(0, 6);
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    for (int b = small(random); b > 0; --b) text += blanks[small(random)];
    const int v = value(random);
    if (v < 0) {
      text += '-';
    } else if (small(random) == 0) {
      text += '+';
    }
    if (small(random) == 0) text += "00";
    text += std::to_string(v < 0 ? -static_cast<long long>(v) : v);
    text += tails[pick(random)];
    ASSERT_EQ(parseDecimal(text), static_cast<int>(std::strtol(text.c_str(), nullptr, 10)))
        << '"' << text << '"';
  }
}

}  // namespace
}  // namespace orvik
