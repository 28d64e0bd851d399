#include "cli/log_follower.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace orvik {
namespace {

using Lines = std::vector<std::string>;

class LogFollowerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = std::filesystem::temp_directory_path() /
            ("orvik-follow-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  void TearDown() override { std::filesystem::remove(path_); }

  void append(const std::string& text) { std::ofstream(path_, std::ios::app) << text; }
  // What the service's cut does: the kept part goes to a temporary file,
  // which is renamed over the log.
  void replace(const std::string& text) {
    const std::string temp = path_.string() + ".tmp";
    std::ofstream(temp) << text;
    std::filesystem::rename(temp, path_);
  }

  std::filesystem::path path_;
};

TEST_F(LogFollowerTest, ReturnsEachCompleteLineOnceAcrossCuts) {
  append("024 started\r\n001 fail\r\n101 rest");  // the last line is being written
  LogFollower follower(path_.string());
  Lines lines;
  std::string error;
  ASSERT_TRUE(follower.start(&lines, &error));
  EXPECT_EQ(lines, (Lines{"024 started", "001 fail"}));
  EXPECT_EQ(follower.look(), Lines{});
  append("ore\r\n");
  EXPECT_EQ(follower.look(), (Lines{"101 restore"}));

  // Cut to the newest line, then a line added: only the added one is new.
  replace("101 restore\r\n");
  append("001 fail again\r\n");
  EXPECT_EQ(follower.look(), (Lines{"001 fail again"}));
  // Cut while a line was added, grown past where the follower read.
  replace("001 fail again\r\n101 restore again\r\n019 lost\r\n124 stopped, a longer line\r\n");
  EXPECT_EQ(follower.look(),
            (Lines{"101 restore again", "019 lost", "124 stopped, a longer line"}));
  // The last line returned cut away: everything there is new.
  replace("ed, a longer line\r\n024 started\r\n");
  EXPECT_EQ(follower.look(), (Lines{"ed, a longer line", "024 started"}));
  // A same-looking line at the same place is the same line.
  EXPECT_EQ(follower.look(), Lines{});
}

TEST_F(LogFollowerTest, MissingLogIsAnErrorAndThenFollowedOnceItAppears) {
  LogFollower follower(path_.string());
  Lines lines;
  std::string error;
  EXPECT_FALSE(follower.start(&lines, &error));
  EXPECT_TRUE(follower.missing());
  EXPECT_EQ(error, "No such file or directory");
  EXPECT_EQ(follower.look(), Lines{});
  append("024 started\r\n");
  EXPECT_EQ(follower.look(), (Lines{"024 started"}));
  std::filesystem::remove(path_);  // deleted by hand: the service makes a new one
  EXPECT_EQ(follower.look(), Lines{});
  append("024 started again\r\n");
  EXPECT_EQ(follower.look(), (Lines{"024 started again"}));
}

TEST_F(LogFollowerTest, FolderInPlaceOfTheLogIsAnError) {
  std::filesystem::create_directory(path_);
  LogFollower follower(path_.string());
  Lines lines;
  std::string error;
  EXPECT_FALSE(follower.start(&lines, &error));
  EXPECT_FALSE(follower.missing());
  EXPECT_EQ(error, "Is a directory");
}

}  // namespace
}  // namespace orvik
