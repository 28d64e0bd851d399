#include "service/core/os_version.h"

#include <gtest/gtest.h>

#include "platform/fake_platform.h"

namespace orvik {
namespace {

TEST(OsVersionClass, ClassifiesEveryListedVersion) {
  struct Case {
    OsVersion::Platform platform;
    int major, minor, expected;
  };
  const Case cases[] = {
      {OsVersion::kConsumer, 4, 0, 1},   {OsVersion::kConsumer, 4, 10, 2},
      {OsVersion::kConsumer, 4, 90, 3},  {OsVersion::kConsumer, 4, 3, 1024},
      {OsVersion::kNt, 3, 51, 256},      {OsVersion::kNt, 4, 0, 512},
      {OsVersion::kNt, 4, 1, 1024},      {OsVersion::kNt, 5, 0, 768},
      {OsVersion::kNt, 5, 1, 1024},      {OsVersion::kNt, 10, 0, 1024},
  };
  FakeSystemInfo system;
  for (const Case& c : cases) {
    system.version = {c.platform, c.major, c.minor};
    EXPECT_EQ(osVersionClass(system), c.expected) << c.major << "." << c.minor;
  }
  system.versionQueryWorks = false;
  EXPECT_EQ(osVersionClass(system), 0);
}

TEST(ProgramDirectory, KeepsThePathUpToItsLastSeparator) {
  EXPECT_EQ(programDirectoryOf("C:\\Program Files\\Orvik\\upskeeper.exe"),
            "C:\\Program Files\\Orvik\\");
  EXPECT_EQ(programDirectoryOf("/opt/orvik/bin/upskeeper"), "/opt/orvik/bin/");
  EXPECT_EQ(programDirectoryOf("C:\\odd/mixed\\upskeeper.exe"), "C:\\odd/mixed\\");
  EXPECT_EQ(programDirectoryOf("upskeeper.exe"), "");
  EXPECT_EQ(programDirectoryOf("/" + std::string(300, 'a') + "/x").size(), 259u);
}

}  // namespace
}  // namespace orvik
