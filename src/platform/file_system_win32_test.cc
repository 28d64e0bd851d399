#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <thread>

#include "platform/win32_backends.h"

namespace orvik {
namespace {

namespace fs = std::filesystem;

// A holder that ended without letting go (a killed page) must not keep the
// folder locked: its mutex passes to the next one as abandoned.
TEST(Win32FileSystem, LockOfAnEndedHolderPassesToTheNextOne) {
  const fs::path folder = fs::temp_directory_path() / "orvik-lock-abandoned";
  fs::create_directories(folder);
  bool took = false;
  std::thread holder(
      [&] { took = win32FileSystem().lockDirectory(folder.string(), 0).release() != nullptr; });
  holder.join();
  ASSERT_TRUE(took);
  EXPECT_NE(win32FileSystem().lockDirectory(folder.string(), 1000), nullptr);
  fs::remove_all(folder);
}

}  // namespace
}  // namespace orvik
