// The POSIX process starter with real programs: scripts in a scratch folder
// that record how they were started.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/posix_backends.h"

namespace orvik {
namespace {

namespace fs = std::filesystem;

class ProcessStarterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvik-processes-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    // Writes its arguments, one a line, to argv.<pid>.
    script("recorder",
           "#!/bin/sh\nfor a; do echo \"$a\"; done >\"${0%/*}/argv.$$\"\n"
           "sleep \"${SLEEP:-0}\"\n");
  }
  void TearDown() override { fs::remove_all(dir_); }

  void script(const std::string& name, const std::string& body, fs::perms perms = fs::perms::all) {
    std::ofstream(dir_ + "/" + name) << body;
    fs::permissions(dir_ + "/" + name, perms);
  }
  std::unique_ptr<ChildProcess> startAndWait(const std::string& line) {
    auto child = posixProcessStarter().startProcess(line.c_str(), true);
    for (int i = 0; child && !child->ended() && i < 500; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return child;
  }
  std::string read(const std::string& name) {
    std::ifstream in(dir_ + "/" + name);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::string dir_;
};

TEST_F(ProcessStarterTest, ShellCharactersReachTheOneProgramAsPlainArguments) {
  const std::string m = dir_ + "/marker";
  auto child =
      startAndWait("\"" + dir_ + "/recorder\" a;touch " + m + " && touch " + m + " | touch " + m +
                   " `touch " + m + "` $(touch " + m + ") \"two words\" > " + m);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(child->exitCode(), 0);
  EXPECT_EQ(read("argv." + std::to_string(child->id())),
            "a;touch\n" + m + "\n&&\ntouch\n" + m + "\n|\ntouch\n" + m + "\n`touch\n" + m +
                "`\n$(touch\n" + m + ")\ntwo words\n>\n" + m + "\n");
  EXPECT_FALSE(fs::exists(m)) << "a shell ran part of the command";
}

TEST_F(ProcessStarterTest, ProgramStartsWithNoSignalBlocked) {
  // The service blocks the termination signals in its threads; a command
  // must still end on SIGTERM. (A shell clears its mask itself: cp shows it.)
  sigset_t term, before;
  sigemptyset(&term);
  sigaddset(&term, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &term, &before);
  auto child = startAndWait("cp /proc/self/status " + dir_ + "/status");
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  ASSERT_NE(child, nullptr);
  EXPECT_NE(read("status").find("SigBlk:\t0000000000000000\n"), std::string::npos);
}

TEST_F(ProcessStarterTest, WhatCannotBeRunIsNotStartedAndCostsNothing) {
  fs::create_directory(dir_ + "/folder");
  script("not-executable", "#!/bin/sh\ntouch \"${0%/*}/ran\"\n", fs::perms::owner_read);
  script("no-interpreter", "touch \"${0%/*}/ran\"\n");  // only a shell would run it
  for (const std::string& line : {std::string(""), std::string("  \t "), dir_ + "/folder",
                                  dir_ + "/missing", std::string("no-such-program-on-path"),
                                  dir_ + "/not-executable", dir_ + "/no-interpreter"}) {
    const auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(posixProcessStarter().startProcess(line.c_str(), true), nullptr) << line;
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(200)) << line;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(fs::exists(dir_ + "/ran"));
}

TEST_F(ProcessStarterTest, ProgramIsReapedWhenItEndsThoughNobodyAsks) {
  setenv("SLEEP", "0.2", 1);
  const int32_t pid = posixProcessStarter().startProcess((dir_ + "/recorder").c_str(), false)->id();
  unsetenv("SLEEP");
  const std::string proc = "/proc/" + std::to_string(pid);
  EXPECT_TRUE(fs::exists(proc)) << "dropping the child neither kills nor waits for it";
  for (int i = 0; fs::exists(proc) && i < 500; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_FALSE(fs::exists(proc)) << "left as a zombie";
}

}  // namespace
}  // namespace orvik
