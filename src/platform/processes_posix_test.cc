// The POSIX process starter with real programs: small scripts written to a
// scratch folder that record how they were started.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/posix_backends.h"

namespace orvik {
namespace {

namespace fs = std::filesystem;

bool eventually(const std::function<bool()>& condition, int seconds = 5) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

class ProcessStarterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvik-processes-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    // Writes its arguments, each ended by a newline, to argv.<pid>; then
    // does what its first argument asks.
    script("recorder",
           "#!/bin/sh\n"
           "out=\"$(dirname \"$0\")/argv.$$\"\n"
           ": > \"$out\"\n"
           "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$out\"; done\n"
           "case \"$1\" in\n"
           "  sleep) sleep \"$2\" ;;\n"
           "  exit) exit \"$2\" ;;\n"
           "  signals) grep '^SigBlk' /proc/$$/status > \"$(dirname \"$0\")/sigblk\" ;;\n"
           "esac\n");
  }
  void TearDown() override { fs::remove_all(dir_); }

  void script(const std::string& name, const std::string& body, mode_t mode = 0755) {
    std::ofstream(dir_ + "/" + name) << body;
    chmod((dir_ + "/" + name).c_str(), mode);
  }
  std::string recorder() const { return "\"" + dir_ + "/recorder\""; }
  std::vector<std::string> recordings() const {
    std::vector<std::string> out;
    for (const auto& f : fs::directory_iterator(dir_)) {
      if (f.path().filename().string().starts_with("argv.")) out.push_back(f.path());
    }
    return out;
  }
  static std::string read(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  ProcessStarter& starter_ = posixProcessStarter();
  std::string dir_;
};

TEST_F(ProcessStarterTest, ShellCharactersReachTheOneProgramAsPlainArguments) {
  const std::string marker = dir_ + "/marker";
  const std::string line = recorder() + " a;touch " + marker + " && touch " + marker + " | touch " +
                           marker + " `touch " + marker + "` $(touch " + marker +
                           ") \"two words\" $HOME > " + marker;
  auto child = starter_.startProcess(line.c_str(), true);
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(eventually([&] { return child->ended(); }));
  EXPECT_EQ(child->exitCode(), 0);
  const auto files = recordings();
  ASSERT_EQ(files.size(), 1u) << "one program, started once";
  EXPECT_EQ(files[0], dir_ + "/argv." + std::to_string(child->id()));
  EXPECT_EQ(read(files[0]), "a;touch\n" + marker + "\n&&\ntouch\n" + marker + "\n|\ntouch\n" +
                                marker + "\n`touch\n" + marker + "`\n$(touch\n" + marker +
                                ")\ntwo words\n$HOME\n>\n" + marker + "\n");
  EXPECT_FALSE(fs::exists(marker)) << "something ran a shell command";
}

TEST_F(ProcessStarterTest, WhatCannotBeRunIsNotStartedAndCostsNothing) {
  fs::create_directory(dir_ + "/folder");
  script("not-executable", "#!/bin/sh\ntouch \"$(dirname \"$0\")/ran\"\n", 0644);
  // Without "#!" only a shell would run it.
  script("no-interpreter", "touch \"$(dirname \"$0\")/ran\"\n");
  for (const std::string& line :
       {std::string(""), std::string("   \t "), std::string("\"\" x"), dir_ + "/folder",
        dir_ + "/no-such-program", std::string("no-such-program-anywhere-on-path"),
        dir_ + "/not-executable", dir_ + "/no-interpreter"}) {
    const auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(starter_.startProcess(line.c_str(), true), nullptr) << line;
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(500)) << line;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(fs::exists(dir_ + "/ran"));
}

TEST_F(ProcessStarterTest, ProgramsAreFoundOnThePathAndRunInTheCurrentFolder) {
  auto child = starter_.startProcess("sh -c \"pwd > pwd.out\"", false);
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(eventually([&] { return child->ended(); }));
  EXPECT_EQ(read("pwd.out"), fs::current_path().string() + "\n");
  fs::remove("pwd.out");
}

TEST_F(ProcessStarterTest, ExitCodeIsKnownOnlyOnceTheProgramHasEnded) {
  auto child = starter_.startProcess((recorder() + " sleep 0.3").c_str(), false);
  ASSERT_NE(child, nullptr);
  EXPECT_FALSE(child->ended());
  EXPECT_EQ(child->exitCode(), -1);
  ASSERT_TRUE(eventually([&] { return child->ended(); }));
  EXPECT_EQ(child->exitCode(), 0);

  auto failing = starter_.startProcess((recorder() + " exit 3").c_str(), false);
  ASSERT_TRUE(eventually([&] { return failing->ended(); }));
  EXPECT_EQ(failing->exitCode(), 3);
}

bool isZombie(int32_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const auto close = text.rfind(')');
  return close != std::string::npos && text.size() > close + 2 && text[close + 2] == 'Z';
}

TEST_F(ProcessStarterTest, ProgramIsReapedWhenItEndsEvenWhenNobodyAsks) {
  int32_t pid = 0;
  {
    auto child = starter_.startProcess((recorder() + " sleep 0.2").c_str(), false);
    ASSERT_NE(child, nullptr);
    pid = child->id();
  }  // dropped while still running: not killed, not waited for
  EXPECT_TRUE(fs::exists("/proc/" + std::to_string(pid)));
  EXPECT_TRUE(eventually([&] { return !fs::exists("/proc/" + std::to_string(pid)); }))
      << "process " << pid << (isZombie(pid) ? " left as a zombie" : " still running");
}

TEST_F(ProcessStarterTest, ProgramStartsWithNoSignalBlocked) {
  // The service blocks the termination signals in every thread; a command
  // must still end on SIGTERM.
  sigset_t term;
  sigemptyset(&term);
  sigaddset(&term, SIGTERM);
  sigset_t before;
  pthread_sigmask(SIG_BLOCK, &term, &before);
  auto child = starter_.startProcess((recorder() + " signals").c_str(), false);
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(eventually([&] { return child->ended(); }));
  EXPECT_EQ(read(dir_ + "/sigblk"), "SigBlk:\t0000000000000000\n");
}

}  // namespace
}  // namespace orvik
