#include "shared/clean_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace orvik {
namespace {

TEST(CleanText, KeepsUtf8ReadsOtherBytesAsLatin1AndDropsControls) {
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"Plain UPS 1.0", "Plain UPS 1.0"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x94\x8B", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x94\x8B"},
      {"caf\xE9", "caf\xC3\xA9"},                // Latin-1
      {"\x1B]0;title\x07ok\x7F", "]0;titleok"},  // the controls go, the rest stays
      {"a\xC2\x9B"
       "b",
       "ab"},                                 // an encoded C1 control
      {"\x80\x9F", "??"},                     // no character of either code
      {"\xE2\x82", "\xC3\xA2?"},              // a sequence cut short
      {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0?"},  // a surrogate is no character
      {"\xC0\xAF", "\xC3\x80\xC2\xAF"},       // nor an overlong form
  };
  for (const Case& c : cases) EXPECT_EQ(cleanText(c.in), c.out) << c.in;
}

TEST(CleanText, AnyBytesGiveValidUtf8WithoutControls) {
  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  for (int round = 0; round < 200; ++round) {
    std::string bytes(64, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    const std::string clean = cleanText(bytes);
    // Cleaning clean text changes nothing: it holds only what cleaning keeps.
    ASSERT_EQ(cleanText(clean), clean) << "seed " << seed;
    for (unsigned char c : clean) ASSERT_TRUE(c >= 0x20 && c != 0x7F) << "seed " << seed;
  }
}

}  // namespace
}  // namespace orvik
