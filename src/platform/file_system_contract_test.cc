// The folder lock as every backend keeps it: the system's own (flock or a
// named mutex) and the fake, so the fake cannot drift from the real thing.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <random>
#include <string>
#include <thread>

#include "platform/fake_platform.h"
#include "platform/native_backends.h"

namespace orvik {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

struct NativeBackend {
  FileSystem& files() { return nativeFileSystem(); }
};
struct FakeBackend {
  FakeFileSystem fake;
  FileSystem& files() { return fake; }
};

template <class Backend>
class FileSystemContract : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("orvik-lock-" + std::to_string(std::random_device{}()));
    fs::create_directories(root_ / "a");
    fs::create_directories(root_ / "b");
  }
  void TearDown() override { fs::remove_all(root_); }

  // From another thread, as another process's request would come.
  bool lockedElsewhere(const fs::path& folder, int waitMs) {
    return std::async(
               std::launch::async,
               [&] { return backend_.files().lockDirectory(folder.string(), waitMs) != nullptr; })
        .get();
  }

  Backend backend_;
  fs::path root_;
};

using Backends = ::testing::Types<NativeBackend, FakeBackend>;
TYPED_TEST_SUITE(FileSystemContract, Backends);

TYPED_TEST(FileSystemContract, FolderLockKeepsOthersOutUntilItsHolderLetsGo) {
  FileSystem& files = this->backend_.files();
  const fs::path a = this->root_ / "a";
  auto held = files.lockDirectory(a.string(), 0);
  ASSERT_NE(held, nullptr);
  // Another spelling of the same folder is the same lock, and the waiter
  // gives up only when its time has run out.
  const auto start = steady_clock::now();
  EXPECT_FALSE(this->lockedElsewhere(a / "", 100));
  EXPECT_GE(steady_clock::now() - start, milliseconds(90));
  EXPECT_TRUE(this->lockedElsewhere(this->root_ / "b", 0)) << "another folder is free";

  // A waiter gets the lock as soon as the holder lets go.
  auto waiter = std::async(std::launch::async,
                           [&] { return files.lockDirectory(a.string(), 10000) != nullptr; });
  std::this_thread::sleep_for(milliseconds(50));
  const auto released = steady_clock::now();
  held.reset();
  EXPECT_TRUE(waiter.get());
  EXPECT_LT(steady_clock::now() - released, milliseconds(2000));
  EXPECT_TRUE(this->lockedElsewhere(a, 0)) << "the waiter's lock went with it";

  EXPECT_EQ(files.lockDirectory((this->root_ / "missing").string(), 0), nullptr);
}

}  // namespace
}  // namespace orvik
