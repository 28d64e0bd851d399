#include "webaccess/access_sync.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "shared/file_replace.h"

namespace orvik {
namespace {

TEST(AccessSync, UserFileHoldsTheAccountOrNobody) {
  const struct {
    const char* access;
    const char* users;
  } cases[] = {
      {"[/]\nadmin=s:e=cret\n[/java]\nall=*\n[/help]\nall=*\n", "admin:s:e=cret\n"},
      {"[/]\r\nadmin=pw\r\n", "admin:pw\n"},
      {"[/]\nfirst=1\n[/]\nsecond=2\n", "second:2\n"},  // the last section wins
      {"[/]\n=pw\n", ""},
      {"[/]\nad:min=pw\n", ""},
      {"[/java]\nall=*\n", ""},
      {"[/]", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(userFileText(c.access), c.users) << c.access;
}

TEST(AccessSync, MissingAccessFileLocksEveryoneOut) {
  const auto folder =
      std::filesystem::temp_directory_path() / ("webaccess-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::string users = (folder / "lighttpd.user").string();
  std::ofstream(folder / "defaults.aut") << "[/]\nadmin=pw\n";
  ASSERT_TRUE(syncUserFile((folder / "defaults.aut").string(), users, nullptr));
  std::string text;
  ASSERT_TRUE(readWholeFile(users, &text));
  EXPECT_EQ(text, "admin:pw\n");
  EXPECT_EQ(std::filesystem::status(users).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

  std::filesystem::remove(folder / "defaults.aut");
  ASSERT_TRUE(syncUserFile((folder / "defaults.aut").string(), users, nullptr));
  ASSERT_TRUE(readWholeFile(users, &text));
  EXPECT_EQ(text, "");
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace orvik
