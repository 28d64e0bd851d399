#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <string>
#include <thread>

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

TEST_P(SharedMemoryContract, OpenOwnedFindsOnlyABlockWhoseOwnerHoldsIt) {
  bool refused = true;
  EXPECT_FALSE(memory_->openOwned(name_.c_str(), 64, &refused));
  EXPECT_FALSE(refused) << "no block is absent, not refused";

  bool existed = false;
  auto owner = memory_->createOrOpen(name_.c_str(), 64, &existed);
  ASSERT_TRUE(owner);
  static_cast<char*>(owner->data())[3] = 'o';
  EXPECT_FALSE(memory_->openOwned(name_.c_str(), 64, &refused)) << "not held yet";
  EXPECT_FALSE(refused);

  ASSERT_TRUE(owner->holdOwnerLock());
  auto opened = memory_->openOwned(name_.c_str(), 64, &refused);
  ASSERT_TRUE(opened);
  EXPECT_EQ(static_cast<char*>(opened->data())[3], 'o');
  EXPECT_FALSE(memory_->openOwned(name_.c_str(), 65, &refused)) << "smaller than asked";
  // Openers do not disturb the owner, nor one another.
  auto second = memory_->openOwned(name_.c_str(), 64, &refused);
  EXPECT_TRUE(second);

  owner.reset();  // the owner's view goes, the name and the other views stay
  EXPECT_FALSE(memory_->openOwned(name_.c_str(), 64, &refused));
  EXPECT_FALSE(refused);
  EXPECT_TRUE(memory_->openExisting(name_.c_str(), 64));
  EXPECT_EQ(static_cast<char*>(opened->data())[3], 'o');
}

TEST_P(SharedMemoryContract, ReadingViewTellsAbsentUnownedForeignAndLiveBlocksApart) {
  using Look = SharedMemory::Look;
  Look look = Look::kOpened;
  std::size_t found = 1;
  EXPECT_FALSE(memory_->openOwnedForReading(name_.c_str(), 64, &look, &found));
  EXPECT_EQ(look, Look::kAbsent);

  if (GetParam()) {  // a creator between its create and its ftruncate
    const int fd = ::shm_open(("/" + name_).c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_FALSE(memory_->openOwnedForReading(name_.c_str(), 64, &look, &found));
    EXPECT_EQ(look, Look::kNotOwned) << "an empty block is one being made, not a foreign one";
    memory_->removeName(name_.c_str());
  }

  bool existed = false;
  auto owner = memory_->createOrOpen(name_.c_str(), 64, &existed);
  ASSERT_TRUE(owner);
  static_cast<char*>(owner->data())[5] = 'r';
  EXPECT_FALSE(memory_->openOwnedForReading(name_.c_str(), 64, &look, &found));
  EXPECT_EQ(look, Look::kNotOwned);
  ASSERT_TRUE(owner->holdOwnerLock());
  auto view = memory_->openOwnedForReading(name_.c_str(), 64, &look, &found);
  ASSERT_TRUE(view);
  EXPECT_EQ(look, Look::kOpened);
  EXPECT_EQ(static_cast<const char*>(view->data())[5], 'r');
  // Larger or smaller than asked is somebody else's block, owned or not.
  for (std::size_t asked : {std::size_t{63}, std::size_t{65}}) {
    EXPECT_FALSE(memory_->openOwnedForReading(name_.c_str(), asked, &look, &found));
    EXPECT_EQ(look, Look::kWrongSize) << asked;
    EXPECT_EQ(found, 64u);
  }
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
  struct stat info {};
  ASSERT_EQ(::stat(("/dev/shm/" + name).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0660u);
  EXPECT_EQ(info.st_size, 64);
  posixSharedMemory().removeName(name.c_str());
}

// A service killed outright leaves its block behind; the lock goes with
// the process.
TEST(PosixSharedMemory, OwnerLockEndsWithAKilledOwner) {
  const std::string name = "orvik_owner_" + std::to_string(::getpid());
  posixSharedMemory().removeName(name.c_str());
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    bool existed = false;
    auto block = posixSharedMemory().createOrOpen(name.c_str(), 4096, &existed);
    const char ok = block && block->holdOwnerLock() ? 'y' : 'n';
    if (::write(ready[1], &ok, 1) != 1) ::_exit(1);
    ::pause();
    ::_exit(0);
  }
  ::close(ready[1]);
  char ok = 0;
  ASSERT_EQ(::read(ready[0], &ok, 1), 1);
  ::close(ready[0]);
  EXPECT_EQ(ok, 'y');
  bool refused = true;
  EXPECT_TRUE(posixSharedMemory().openOwned(name.c_str(), 4096, &refused));

  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  EXPECT_FALSE(posixSharedMemory().openOwned(name.c_str(), 4096, &refused));
  EXPECT_FALSE(refused);
  // A service starting over the stale block opens it and takes the lock.
  bool existed = false;
  auto next = posixSharedMemory().createOrOpen(name.c_str(), 4096, &existed);
  ASSERT_TRUE(next);
  EXPECT_TRUE(existed);
  EXPECT_TRUE(next->holdOwnerLock());
  EXPECT_TRUE(posixSharedMemory().openOwned(name.c_str(), 4096, &refused));
  posixSharedMemory().removeName(name.c_str());
}

// A creator between its exclusive create and its ftruncate: the name exists
// with size 0. The test plays that creator itself.
TEST(PosixSharedMemory, OpenerWaitsForABlockBeingCreatedButNotForever) {
  const std::string name = "orvik_race_" + std::to_string(::getpid());
  const std::string path = "/" + name;
  ::shm_unlink(path.c_str());
  const int creator = ::shm_open(path.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  ASSERT_GE(creator, 0);

  std::unique_ptr<SharedBlock> opened;
  bool existed = false;
  std::thread opener(
      [&] { opened = posixSharedMemory().createOrOpen(name.c_str(), 4096, &existed); });
  // Well inside the opener's patience, and long enough for it to have found
  // the empty block at least once.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(::ftruncate(creator, 4096), 0);
  void* view = ::mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, creator, 0);
  if (view != MAP_FAILED) {
    static_cast<char*>(view)[9] = 'c';
    ::munmap(view, 4096);
  }
  opener.join();
  ASSERT_TRUE(opened);
  EXPECT_TRUE(existed);
  EXPECT_EQ(static_cast<char*>(opened->data())[9], 'c') << "the creator's block, not another";

  // A block that never gets its size is given up, as before, after a short wait.
  ::shm_unlink(path.c_str());
  ::close(creator);
  const int stuck = ::shm_open(path.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  ASSERT_GE(stuck, 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(posixSharedMemory().createOrOpen(name.c_str(), 4096, &existed));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  ::close(stuck);
  ::shm_unlink(path.c_str());
}

}  // namespace
}  // namespace orvik
