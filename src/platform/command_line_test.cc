#include "platform/command_line.h"

#include <gtest/gtest.h>

namespace orvik {
namespace {

TEST(SplitCommandLine, CutsWordsAsAWindowsProgramReceivesThem) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"  \t ", {}},
      {"\"/opt/my dir/p\"  a\tb ", {"/opt/my dir/p", "a", "b"}},
      {"C:\\dir\\p \"a b\"c \"\"", {"C:\\dir\\p", "a bc", ""}},
      // Backslashes count only before a quote; two quotes in quotes are one.
      {"p a\\\"b a\\\\\"b c\" a\\\\b \"x\"\"y\"", {"p", "a\"b", "a\\b c", "a\\\\b", "x\"y"}},
      {"p \"open to the end", {"p", "open to the end"}},
  };
  for (const auto& [line, words] : cases) EXPECT_EQ(splitCommandLine(line), words) << line;
}

}  // namespace
}  // namespace orvik
