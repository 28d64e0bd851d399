#include "sweep/display_posix.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace winsweep {
namespace {

namespace fs = std::filesystem;

class DisplayTest : public ::testing::Test {
 protected:
  DisplayTest() {
    char pattern[] = "/tmp/display-test-XXXXXX";
    root_ = mkdtemp(pattern);
    fs::create_directories(root_ / "program");
    fs::create_directories(root_ / "proc");
  }
  ~DisplayTest() override { fs::remove_all(root_); }

  void write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  void process(const std::string& pid, const std::string& environ_, uid_t owner = 1000) {
    write(root_ / "proc" / pid / "environ", environ_);
    ASSERT_EQ(chown((root_ / "proc" / pid).c_str(), owner, owner), 0);
  }
  DisplayChoice find(const char* environmentDisplay) {
    return findDisplay(environmentDisplay, root_ / "program", root_ / "proc");
  }

  fs::path root_;
};

TEST_F(DisplayTest, EnvironmentThenPlatformIniThenALoggedInSession) {
  // Processes in number order: 5 is a login screen's, 7 has no display, 9 a
  // remote one, 12 the session's (as the numbers sort, not as the names do).
  process("5", std::string("DISPLAY=:0\0", 11), 120);
  process("7", std::string("HOME=/root\0PATH=/bin\0", 21));
  process("9", std::string("DISPLAY=far:0\0", 14));
  process("12", std::string("HOME=/nowhere\0DISPLAY=:1\0XAUTHORITY=/run/user/1000/xauth\0", 57));
  process("self", std::string("DISPLAY=:7\0", 11));
  process("100", std::string("DISPLAY=:8\0", 11));
  EXPECT_EQ(find(":5").display, ":5");
  EXPECT_EQ(find(":5").xauthority, "");
  EXPECT_EQ(find("").display, ":1");
  EXPECT_EQ(find(nullptr).xauthority, "/run/user/1000/xauth");

  write(root_ / "program" / "platform.ini",
        "; the user's desktop\n COM1=/dev/ttyUSB0\n display = :3 \r\nXAUTHORITY=/a b\nDisplay=:4\n");
  EXPECT_EQ(find(nullptr).display, ":4");
  EXPECT_EQ(find(nullptr).xauthority, "/a b");
}

TEST_F(DisplayTest, ASessionWithoutCookieVariableUsesTheCookieInItsHome) {
  write(root_ / "home" / ".Xauthority", "cookie");
  process("40", std::string("DISPLAY=:2.0\0HOME=", 18) + (root_ / "home").string());
  DisplayChoice choice = find(nullptr);
  EXPECT_EQ(choice.display, ":2.0");
  EXPECT_EQ(choice.xauthority, (root_ / "home" / ".Xauthority").string());

  fs::remove_all(root_ / "proc" / "40");
  EXPECT_EQ(find(nullptr).display, "");
}

}  // namespace
}  // namespace winsweep
