#include "service/actions/text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace orvik {
namespace {

TEST(Text, AppendsIncludingItselfAndTreatsNullAsEmpty) {
  EXPECT_STREQ(Text(static_cast<const char*>(nullptr)).chars(), "");
  Text text("ab");
  text.append(text.chars());
  EXPECT_STREQ(text.chars(), "abab");
  text.append(text);
  EXPECT_STREQ(text.chars(), "abababab");
  text.assign("x");
  text.append(static_cast<const char*>(nullptr));
  EXPECT_STREQ(text.chars(), "x");
}

TEST(Text, SubstringIsClampedToTheText) {
  const Text text("power");
  EXPECT_STREQ(text.substring(1, 3).chars(), "owe");
  EXPECT_STREQ(text.substring(3, 99).chars(), "er");
  EXPECT_STREQ(text.substring(5, 1).chars(), "");
  EXPECT_STREQ(text.substring(9, 1).chars(), "");
  EXPECT_STREQ(text.substring(-2, 2).chars(), "po");
  EXPECT_STREQ(text.substring(1, -1).chars(), "");
}

TEST(ReplaceAll, ReplacesLeftToRightWithoutRescanningInsertedText) {
  struct Case {
    const char* chars;
    const char* pattern;
    const char* replacement;
    const char* expected;
  } cases[] = {
      {"Power failure on #HOSTNAME#.", "#HOSTNAME#", "ALPHA", "Power failure on ALPHA."},
      {"#HOSTNAME#", "#HOSTNAME#", "<#HOSTNAME#>", "<#HOSTNAME#>"},
      {"#A##A#", "#A#", "b", "bb"},
      {"aaa", "aa", "X", "Xa"},
      {"no placeholder", "#HOSTNAME#", "x", "no placeholder"},
      {"cut [this] out", "[this] ", "", "cut out"},
      {"abc", "", "x", "abc"},
      {"", "a", "b", ""},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(replaceAll(c.chars, c.pattern, c.replacement).chars(), c.expected)
        << c.chars << " / " << c.pattern;
  }
}

TEST(ListWalk, TakesTrimmedEntriesUntilNoSeparatorIsLeft) {
  Text list(" alpha ; 10.0.0.1;;\tgamma\t ; last");
  Text entry("untouched");
  ASSERT_EQ(takeToken(list, entry, ';'), 0);
  EXPECT_STREQ(entry.chars(), "alpha");
  ASSERT_EQ(takeToken(list, entry, ';'), 0);
  EXPECT_STREQ(entry.chars(), "10.0.0.1");
  ASSERT_EQ(takeToken(list, entry, ';'), 0);
  EXPECT_STREQ(entry.chars(), "");
  ASSERT_EQ(takeToken(list, entry, ';'), 0);
  EXPECT_STREQ(entry.chars(), "\tgamma\t");
  // The last entry has no separator: it stays in the list, entry keeps its value.
  EXPECT_EQ(takeToken(list, entry, ';'), -1);
  EXPECT_STREQ(list.chars(), " last");
  EXPECT_STREQ(entry.chars(), "\tgamma\t");

  Text commas("a,b");
  ASSERT_EQ(takeToken(commas, entry, ','), 0);
  EXPECT_STREQ(entry.chars(), "a");
  EXPECT_STREQ(commas.chars(), "b");
}

TEST(ListWalk, TerminatedListYieldsEveryEntryIncludingTheLast) {
  struct Case {
    const char* list;
    const char* terminated;
    int entries;
  } cases[] = {
      {"", "", 0},        {"a", "a;", 1}, {"a;", "a;", 1},
      {"a;b", "a;b;", 2}, {";", ";", 1},  {" a ; b ", " a ; b ;", 2},
  };
  for (const Case& c : cases) {
    Text list(c.list);
    EXPECT_EQ(terminateList(list), c.entries) << c.list;
    EXPECT_STREQ(list.chars(), c.terminated) << c.list;
  }

  Text list(";host1; host2 ");
  const int entries = terminateList(list);
  std::string walked;
  Text entry;
  for (int i = 0; i < entries; ++i) {
    ASSERT_EQ(takeToken(list, entry, ';'), 0);
    walked += "[" + std::string(entry.chars()) + "]";
  }
  EXPECT_EQ(walked, "[][host1][host2]");
  EXPECT_STREQ(list.chars(), "");
}

TEST(TextSearch, CountsAndFindsCharacters) {
  EXPECT_EQ(countChar("a;b;;c", ';'), 3);
  EXPECT_EQ(countChar("", ';'), 0);
  EXPECT_EQ(countChar("abc", ';'), 0);

  EXPECT_EQ(findPosition("abcabc", "ca"), 3);
  EXPECT_EQ(findPosition("abc", "a"), 1);
  EXPECT_EQ(findPosition("abc", "abcd"), -1);
  EXPECT_EQ(findPosition("abc", "x"), -1);
}

TEST(Trim, RemovesOnlySpacesAtBothEnds) {
  struct Case {
    const char* input;
    const char* expected;
  } cases[] = {
      {"  a b  ", "a b"}, {"     ", ""},    {"", ""},
      {"\ta\t", "\ta\t"}, {" \tx ", "\tx"}, {"plain", "plain"},
  };
  for (const Case& c : cases) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%s", c.input);
    trimSpaces(buffer);
    EXPECT_STREQ(buffer, c.expected) << '"' << c.input << '"';
    Text text(c.input);
    trimSpaces(text);
    EXPECT_STREQ(text.chars(), c.expected) << '"' << c.input << '"';
  }
}

TEST(Trim, RemovesAllTrailingLineEndsAndNothingElse) {
  struct Case {
    const char* input;
    const char* expected;
  } cases[] = {
      {"abc\r\n", "abc"}, {"abc\r\n\r\n\n", "abc"}, {"a\rb\n", "a\rb"}, {"\r\n", ""},
      {"a \r", "a "},     {"abc", "abc"},           {"", ""},
  };
  for (const Case& c : cases) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%s", c.input);
    trimLineEnd(buffer);
    EXPECT_STREQ(buffer, c.expected);
    Text text(c.input);
    trimLineEnd(text);
    EXPECT_STREQ(text.chars(), c.expected);
  }
}

TEST(ParseHex, ReadsDigitsSkipsXAndStopsAtOtherCharacters) {
  struct Case {
    const char* chars;
    uint32_t expected;
  } cases[] = {
      {"0x1F", 31},
      {"1G", 1},
      {"ff", 255},
      {"FF", 255},
      {"1x2", 0x12},
      {"x", 0},
      {"", 0},
      {"G1", 0},
      {" 1", 0},
      {"0X1F", 0},
      {"7fffffff", 0x7fffffff},
      {"123456789", 0x23456789},
      {"\xb1\xc6", 0x1F},  // top bits ignored: '1' and 'F'
      {"1\xf8"
       "2",
       0x12},  // 'x' with its top bit set is still skipped
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parseHex(c.chars), c.expected) << c.chars;
  }
}

TEST(ParseBitString, FirstCharacterIsBitZero) {
  EXPECT_EQ(parseBitString("011"), 6u);
  EXPECT_EQ(parseBitString("1"), 1u);
  EXPECT_EQ(parseBitString("00000001"), 128u);
  EXPECT_EQ(parseBitString(""), 0u);
  // Not only binary digits: each character adds its distance from '0'.
  EXPECT_EQ(parseBitString("12"), 5u);
  EXPECT_EQ(parseBitString("/"), 0xffffffffu);
  // Positions past bit 31 add nothing rather than shifting out of range.
  EXPECT_EQ(parseBitString((std::string(31, '0') + "11").c_str()), 0x80000000u);
}

}  // namespace
}  // namespace orvik
