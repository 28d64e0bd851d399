// The power control with a recorder for systemctl: the only one this test
// can reach, through PATH. Nothing here may switch off or stop anything.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/posix_backends.h"

namespace orvik {
namespace {

namespace fs = std::filesystem;

TEST(PosixPowerControl, RunsPlatformIniCommandsSetAfterThePlatformWasBuilt) {
  char pattern[] = "/tmp/orvik-power-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  // Logs its name and arguments; fails when the first one is "fail".
  const std::string recorder =
      "#!/bin/sh\necho \"${0##*/} $*\" >>\"${0%/*}/log\"\n"
      "test \"$1\" != fail\n";
  for (const char* name : {"/systemctl", "/recorder"}) {
    std::ofstream(dir + name) << recorder;
    fs::permissions(dir + name, fs::perms::all);
  }
  const std::string path = getenv("PATH");
  setenv("PATH", dir.c_str(), 1);
  PowerControl& control = posixPowerControl();  // as main() builds the platform first
  setPowerCommands(dir + "/recorder off", dir + "/recorder fail");
  EXPECT_EQ(control.stopService("upskeeper"), 0) << "the manager refused";
  control.powerOff();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  setPowerCommands("", "");
  EXPECT_EQ(control.stopService("upskeeper"), 1);
  control.powerOff();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  setenv("PATH", path.c_str(), 1);

  std::ifstream in(dir + "/log");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
            "recorder fail upskeeper\nrecorder off\nsystemctl stop --no-block upskeeper\n"
            "systemctl poweroff\n");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace orvik
