#include "platform/terminal_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace orvik {
namespace {

TEST(TerminalSafeText, EscapeSequencesAndControlsGoPlainTextStays) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"Power failure on UPS 1: 12% left", "Power failure on UPS 1: 12% left"},
      {"a\x1b[1;31mred\x1b[0m!", "ared!"},                   // colours
      {"\x1b[2J\x1b[H\x1b[?1049hwiped", "wiped"},            // clear, home, alternate screen
      {"\x1b]0;owned\x07title", "title"},                    // window title ended by BEL
      {"\x1b]8;;http://x\x1b\\link\x1b]8;;\x1b\\", "link"},  // hyperlink ended by ESC "\"
      {"\x1bP$q\"p\x1b\\ok", "ok"},                          // device control string
      {"\x1b_app\x1b\\\x1b^pm\x1b\\\x1bXsos\x1b\\z", "z"},   // APC, PM, SOS
      {"\x1b(0\x1b)B\x1b#8\x1b"
       "7saved\x1b"
       "8\x1bM",
       "saved"},               // charsets, cursor save
      {"\x1b\x1b[31mx", "x"},  // ESC ESC
      {"\x9b"
       "31mraw\x9d"
       "0;t\x9c",
       "raw"},  // raw C1 CSI, OSC and ST
      {"\xc2\x9b"
       "2Jutf\xc2\x9d"
       "0;t\xc2\x9c!\xc2\x85",
       "utf!"},  // UTF-8 encoded C1
      {"bell\x07 back\x08space\x7f nul\x01\x02" "end\tx", "bell backspace nulend\tx"},
      {"broken \x1b[", "broken "},  // cut off at the end
      {"open \x1b]0;never ends", "open "},
      {"Gr\xc3\xbc\xc3\x9f"
       "e \xe2\x82\xac \xf0\x9f\x94\x8b",
       "Gr\xc3\xbc\xc3\x9f"
       "e \xe2\x82\xac \xf0\x9f\x94\x8b"},
      {"Gr\xfc\xdf"
       "e \xe9t\xe9",
       "Gr\xfc\xdf"
       "e \xe9t\xe9"},  // a single-byte code
  };
  for (const Case& c : cases) {
    EXPECT_EQ(terminalSafeText(c.in, true), c.out) << c.in;
  }
  const std::string lines = "one\r\ntwo\nthree\rfour\n";
  EXPECT_EQ(terminalSafeText(lines, true), "one\r\ntwo\r\nthree\r\nfour\r\n");
  EXPECT_EQ(terminalSafeText(lines, false), "one two three four ");
}

TEST(TerminalSafeText, RandomBytesNeverLeaveAControlThrough) {
  const unsigned seed = std::random_device()();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  const char pieces[] = "\x1b[]P\\\x07\x9b\x9c\x9d\xc2\x85\r\nab;0?";
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 40);
    for (int i = 0; i < length; ++i) {
      text +=
          random() % 2 ? static_cast<char>(random() % 256) : pieces[random() % (sizeof pieces - 1)];
    }
    const std::string out = terminalSafeText(text, true);
    for (std::size_t i = 0; i < out.size(); ++i) {
      const auto c = static_cast<unsigned char>(out[i]);
      ASSERT_TRUE(c >= 0x20 || c == '\t' || c == '\r' || c == '\n') << i;
      ASSERT_NE(c, 0x7F);
      if (c == 0xC2 && i + 1 < out.size()) {
        const auto next = static_cast<unsigned char>(out[i + 1]);
        ASSERT_FALSE(next >= 0x80 && next < 0xA0) << "an encoded C1 control";
      }
      if (c >= 0x80 && c < 0xA0) {
        ASSERT_TRUE(i > 0 && static_cast<unsigned char>(out[i - 1]) >= 0x80) << "a raw C1 control";
      }
      if (c == '\r') {
        ASSERT_TRUE(i + 1 < out.size() && out[i + 1] == '\n');
      }
    }
  }
}

}  // namespace
}  // namespace orvik
