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
    std::ofstream(dir_ + "/recorder") << "#!/bin/sh\n"
                                         "echo \"$*\" >> \"$(dirname \"$0\")/log\"\n"
                                         "exit \"$1\"\n";
    chmod((dir_ + "/recorder").c_str(), 0755);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string log() {
    std::ifstream in(dir_ + "/log");
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  std::string recorder(const std::string& words) { return dir_ + "/recorder " + words; }

  std::string dir_;
};

TEST_F(CommandPowerControlTest, PowerOffRunsTheConfiguredCommand) {
  auto control =
      newCommandPowerControl(posixProcessStarter(), recorder("0 poweroff"), recorder("0 stop"));
  control->powerOff();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (log().empty() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(log(), "0 poweroff\n");
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
    auto control = newCommandPowerControl(posixProcessStarter(), recorder("0 poweroff"),
                                          c.stopCommand);
    EXPECT_EQ(control->stopService("upskeeper"), c.result) << c.stopCommand;
  }
  EXPECT_EQ(log(), "0 stop upskeeper\n5 stop upskeeper\n") << "the name is the last word";
}

}  // namespace
}  // namespace orvik
