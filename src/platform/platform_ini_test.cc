#include "platform/platform_ini.h"

#include <gtest/gtest.h>

namespace orvik {
namespace {

TEST(PlatformIni, ReadsSettingsIgnoringCommentsBlanksAndCase) {
  const PlatformIni ini = PlatformIni::fromText(
      "# devices\r\n"
      "  com1 = /dev/ttyUSB0  \r\n"
      "; COM2=/dev/ignored\n"
      "no equals sign here\n"
      "=orphan value\n"
      "ShareGroup=www-data\n"
      "COM1=/dev/ttyACM0\n");
  EXPECT_EQ(ini.get("COM1"), "/dev/ttyACM0");  // a later line wins
  EXPECT_EQ(ini.get("sharegroup"), "www-data");
  EXPECT_EQ(ini.get("COM2", "/dev/ttyS1"), "/dev/ttyS1");
  EXPECT_EQ(ini.get(""), "");
}

TEST(PlatformIni, MissingFileGivesNoSettings) {
  EXPECT_EQ(PlatformIni::load("/nonexistent/platform.ini").get("COM1", "fallback"), "fallback");
}

}  // namespace
}  // namespace orvik
