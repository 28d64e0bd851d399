#include "platform/command_line.h"

#include <gtest/gtest.h>

namespace orvik {
namespace {

using Words = std::vector<std::string>;

TEST(SplitCommandLine, CutsWordsAsAWindowsProgramReceivesThem) {
  const struct {
    const char* line;
    Words words;
  } cases[] = {
      {"", {}},
      {"   \t ", {}},
      {"prog", {"prog"}},
      {"  prog  a   b  ", {"prog", "a", "b"}},
      {"prog\ta", {"prog", "a"}},
      // The program's name: quotes delimit it, backslashes stay.
      {"\"/opt/my dir/prog\" x", {"/opt/my dir/prog", "x"}},
      {"\"C:\\Program Files\\a.exe\" x", {"C:\\Program Files\\a.exe", "x"}},
      {"C:\\dir\\prog", {"C:\\dir\\prog"}},
      {"\"\" x", {"", "x"}},
      {"\"unterminated name", {"unterminated name"}},
      // Quoted parts join words; quotes may sit inside a word.
      {"p \"a b\" c", {"p", "a b", "c"}},
      {"p a\"b c\"d", {"p", "ab cd"}},
      {"p \"\"", {"p", ""}},
      {"p \"open to the end", {"p", "open to the end"}},
      // Backslashes before quotes.
      {"p a\\\"b", {"p", "a\"b"}},
      {"p a\\\\\"b c\"", {"p", "a\\b c"}},
      {"p a\\\\\\\"b", {"p", "a\\\"b"}},
      {"p a\\\\b", {"p", "a\\\\b"}},
      {"p \"a\\\\\"", {"p", "a\\"}},
      // Two quotes inside a quoted part give one.
      {"p \"a\"\"b\"", {"p", "a\"b"}},
      // Nothing else is special.
      {"p a;b && c | d `e` $(f) > g", {"p", "a;b", "&&", "c", "|", "d", "`e`", "$(f)", ">", "g"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(splitCommandLine(c.line), c.words) << "line: " << c.line;
  }
  EXPECT_EQ(splitCommandLine(nullptr), Words{});
}

}  // namespace
}  // namespace orvik
