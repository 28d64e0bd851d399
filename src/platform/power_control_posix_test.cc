// The command-based power control with recorders in place of the machine's
// own commands: nothing here may switch off or stop anything real.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/posix_backends.h"

namespace orvik {
namespace {

namespace fs = std::filesystem;

class CommandPowerControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvik-power-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    // Logs its arguments and exits with the status its first one names.
    // Neither needs anything from PATH.
    std::ofstream(dir_ + "/recorder") << "#!/bin/sh\n"
                                         "echo \"$*\" >> \"${0%/*}/log\"\n"
                                         "exit \"$1\"\n";
    chmod((dir_ + "/recorder").c_str(), 0755);
    fs::create_directory(dir_ + "/bin");
    std::ofstream(dir_ + "/bin/systemctl") << "#!/bin/sh\n"
                                              "echo \"systemctl $*\" >> \"${0%/*}/../log\"\n";
    chmod((dir_ + "/bin/systemctl").c_str(), 0755);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string log() {
    std::ifstream in(dir_ + "/log");
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  std::string recorder(const std::string& words) { return dir_ + "/recorder " + words; }
  bool logBecomes(const std::string& expected) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (log() != expected && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return log() == expected;
  }

  std::string dir_;
};

TEST_F(CommandPowerControlTest, PowerOffRunsTheConfiguredCommand) {
  auto control =
      newCommandPowerControl(posixProcessStarter(), recorder("0 poweroff"), recorder("0 stop"));
  control->powerOff();
  EXPECT_TRUE(logBecomes("0 poweroff\n")) << log();
}

TEST_F(CommandPowerControlTest, PlatformIniCommandsApplyThoughThePlatformWasBuiltFirst) {
  // The only systemctl this test can reach is the recorder in bin/.
  const std::string path = getenv("PATH") ? getenv("PATH") : "";
  setenv("PATH", (dir_ + "/bin").c_str(), 1);
  PowerControl& control = posixPowerControl();  // as main() builds the platform first
  setPowerCommands(recorder("0 poweroff"), recorder("0 stop"));
  control.powerOff();
  EXPECT_TRUE(logBecomes("0 poweroff\n")) << log();
  EXPECT_EQ(control.stopService("upskeeper"), 1);
  setPowerCommands("", "");
  control.powerOff();
  EXPECT_TRUE(logBecomes("0 poweroff\n0 stop upskeeper\nsystemctl poweroff\n")) << log();
  EXPECT_EQ(control.stopService("upskeeper"), 1);
  EXPECT_EQ(log(),
            "0 poweroff\n0 stop upskeeper\nsystemctl poweroff\n"
            "systemctl stop --no-block upskeeper\n");
  setenv("PATH", path.c_str(), 1);
}

TEST_F(CommandPowerControlTest, StopServiceSaysWhetherTheManagerTookTheRequest) {
  const struct {
    std::string stopCommand;
    int result;
  } cases[] = {
      {recorder("0 stop"), 1},
      {recorder("5 stop"), 0},
      {dir_ + "/no-such-command", 0},
  };
  for (const auto& c : cases) {
    auto control =
        newCommandPowerControl(posixProcessStarter(), recorder("0 poweroff"), c.stopCommand);
    EXPECT_EQ(control->stopService("upskeeper"), c.result) << c.stopCommand;
  }
  EXPECT_EQ(log(), "0 stop upskeeper\n5 stop upskeeper\n") << "the name is the last word";
}

}  // namespace
}  // namespace orvik
