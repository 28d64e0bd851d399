// Programs started through CreateProcessA under Wine: Windows' own command
// interpreter stands in for the commands a user configures.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/win32_backends.h"

namespace orvik {
namespace {

int waitForExit(ChildProcess& child) {
  for (int i = 0; i < 1000 && !child.ended(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return child.exitCode();
}

TEST(Win32ProcessStarter, ExitCodesComeBackAndWhatCannotRunDoesNotStart) {
  ProcessStarter& starter = win32ProcessStarter();
  const struct {
    const char* commandLine;
    bool starts;
    int exitCode;
  } cases[] = {
      {"cmd.exe /c exit 0", true, 0},
      {"cmd /c exit 3", true, 3},
      {"\"C:\\windows\\system32\\cmd.exe\" /c exit 259", true, 259},
      {"no-such-program-7f3a.exe", false, 0},
      {"C:\\windows", false, 0},
      {"", false, 0},
      {"   ", false, 0},
  };
  for (const auto& c : cases) {
    auto child = starter.startProcess(c.commandLine, false);
    ASSERT_EQ(child != nullptr, c.starts) << c.commandLine;
    if (!child) continue;
    EXPECT_GT(child->id(), 0);
    EXPECT_EQ(waitForExit(*child), c.exitCode) << c.commandLine;
  }
  EXPECT_EQ(starter.programSuffix(), ".exe");
}

TEST(Win32ProcessStarter, RunningProgramReportsNoExitCodeAndIsNotWaitedFor) {
  const auto began = std::chrono::steady_clock::now();
  auto child = win32ProcessStarter().startProcess("cmd /c ping -n 3 127.0.0.1 >NUL", false);
  ASSERT_NE(child, nullptr);
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(1));
  EXPECT_FALSE(child->ended());
  EXPECT_EQ(child->exitCode(), -1);
  EXPECT_EQ(waitForExit(*child), 0);
}

}  // namespace
}  // namespace orvik
