#include "shared/file_replace.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/fake_platform.h"

namespace orvik {
namespace {

namespace fs = std::filesystem;

// Symbolic links and POSIX permissions: a POSIX test only.
// The installation keeps the pages' files in a folder of the web user's and
// links to them where the pages look: a replacement lands beside the file
// the link names, even before that file exists, and the link stays.
TEST(FileReplace, ReplacesTheFileALinkNamesAndKeepsItsPermissions) {
  const fs::path root = fs::temp_directory_path() / ("replace-test-" + std::to_string(getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "state");
  fs::create_symlink("state/users", root / "users");
  FakeFileSystem files;
  ASSERT_TRUE(replaceFile((root / "users").string(), "users.tmp", "a:1\n", &files,
                          fs::perms::owner_read | fs::perms::owner_write));
  std::string text;
  ASSERT_TRUE(readWholeFile((root / "state/users").string(), &text));
  EXPECT_EQ(text, "a:1\n");
  EXPECT_TRUE(fs::is_symlink(root / "users"));
  EXPECT_EQ(fs::status(root / "state/users").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  const std::vector<std::string> synced = {"file " + (root / "state/users.tmp").string(),
                                           "dir " + (root / "state").string()};
  EXPECT_EQ(files.synced, synced);

  fs::permissions(root / "state/users", fs::perms::owner_read | fs::perms::group_read);
  ASSERT_TRUE(replaceFile((root / "users").string(), "users.tmp", "b:2\n", nullptr));
  EXPECT_EQ(fs::status(root / "state/users").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::group_read);
  EXPECT_FALSE(fs::exists(root / "state/users.tmp"));

  // A folder that is not there: false, and nothing is left behind.
  EXPECT_FALSE(replaceFile((root / "none/users").string(), "users.tmp", "c", nullptr));
  fs::remove_all(root);
}

// The change is made under the lock of the folder the replacement lands in,
// from the read to the rename.
TEST(FileReplace, UpdateChangesTheFileALinkNamesUnderItsFoldersLock) {
  const fs::path root = fs::temp_directory_path() / ("update-test-" + std::to_string(getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "state");
  fs::create_symlink("state/list", root / "list");
  FakeFileSystem files;
  const auto append = [](const std::string* current, std::string* contents) {
    *contents = (current == nullptr ? "" : *current) + "x\n";
    return true;
  };
  ASSERT_TRUE(updateFile((root / "list").string(), "list.tmp", append, nullptr));
  ASSERT_TRUE(updateFile((root / "list").string(), "list.tmp", append, &files));
  std::string text;
  ASSERT_TRUE(readWholeFile((root / "state/list").string(), &text));
  EXPECT_EQ(text, "x\nx\n");
  const std::string state = (root / "state").string();
  EXPECT_EQ(files.synced, (std::vector<std::string>{"lock " + state, "file " + state + "/list.tmp",
                                                    "dir " + state, "unlock " + state}));
  fs::remove_all(root);
}

}  // namespace
}  // namespace orvik
