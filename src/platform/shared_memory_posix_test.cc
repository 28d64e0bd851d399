#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/fake_platform.h"
#include "platform/posix_backends.h"

namespace orvik {
namespace {

// The same contract for the real backend and the fake.
class SharedMemoryContract : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    memory_ = GetParam() ? &posixSharedMemory() : static_cast<SharedMemory*>(&fake_);
    name_ = "orvik_test_" + std::to_string(::getpid());
    memory_->removeName(name_.c_str());
  }
  void TearDown() override { memory_->removeName(name_.c_str()); }

  FakeSharedMemory fake_;
  SharedMemory* memory_ = nullptr;
  std::string name_;
};

TEST_P(SharedMemoryContract, SecondCreateSeesTheExistingBlockAndItsContents) {
  bool existed = true;
  auto first = memory_->createOrOpen(name_.c_str(), 4096, &existed);
  ASSERT_TRUE(first);
  EXPECT_FALSE(existed);
  auto* bytes = static_cast<unsigned char*>(first->data());
  EXPECT_EQ(bytes[0], 0);
  EXPECT_EQ(bytes[4095], 0);
  std::memcpy(bytes, "kept", 5);

  auto second = memory_->createOrOpen(name_.c_str(), 4096, &existed);
  ASSERT_TRUE(second);
  EXPECT_TRUE(existed);
  EXPECT_STREQ(static_cast<const char*>(second->data()), "kept");
}

TEST_P(SharedMemoryContract, OpenExistingNeedsTheNameAndTheSize) {
  EXPECT_FALSE(memory_->openExisting(name_.c_str(), 64));
  bool existed = false;
  auto block = memory_->createOrOpen(name_.c_str(), 64, &existed);
  ASSERT_TRUE(block);
  EXPECT_TRUE(memory_->openExisting(name_.c_str(), 64));
  EXPECT_FALSE(memory_->openExisting(name_.c_str(), 65));
}

TEST_P(SharedMemoryContract, RemovedNameMakesTheNextCreateFresh) {
  bool existed = false;
  auto block = memory_->createOrOpen(name_.c_str(), 64, &existed);
  static_cast<char*>(block->data())[0] = 'x';
  memory_->removeName(name_.c_str());
  auto fresh = memory_->createOrOpen(name_.c_str(), 64, &existed);
  ASSERT_TRUE(fresh);
  EXPECT_FALSE(existed);
  EXPECT_EQ(static_cast<char*>(fresh->data())[0], 0);
  EXPECT_EQ(static_cast<char*>(block->data())[0], 'x');  // the old view still works
}

INSTANTIATE_TEST_SUITE_P(Backends, SharedMemoryContract, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Posix" : "Fake"; });

TEST(PosixSharedMemory, BlockIsReadableAndWritableByOwnerAndGroupOnly) {
  const std::string name = "orvik_mode_" + std::to_string(::getpid());
  const mode_t old = ::umask(0);  // a permissive umask must not widen access
  bool existed = false;
  auto block = posixSharedMemory().createOrOpen(name.c_str(), 64, &existed);
  ::umask(old);
  ASSERT_TRUE(block);
  struct stat info{};
  ASSERT_EQ(::stat(("/dev/shm/" + name).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0660u);
  EXPECT_EQ(info.st_size, 64);
  posixSharedMemory().removeName(name.c_str());
}

}  // namespace
}  // namespace orvik
