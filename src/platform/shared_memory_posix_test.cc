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

#include "platform/posix_backends.h"
#include "platform/shared_memory_contract_test.h"

namespace orvik {
namespace {

INSTANTIATE_TEST_SUITE_P(Backends, SharedMemoryContract,
                         ::testing::Values(SharedMemoryBackend{"Posix", &posixSharedMemory},
                                           fakeSharedMemoryBackend()),
                         backendName);

// POSIX names go when asked; Windows names go with their last handle.
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

TEST(PosixSharedMemory, SizesAreExactToTheByte) {
  const std::string name = "orvik_test_exact_" + std::to_string(::getpid());
  bool existed = false;
  auto block = posixSharedMemory().createOrOpen(name.c_str(), 64, &existed);
  ASSERT_TRUE(block && block->holdOwnerLock());
  bool refused = false;
  EXPECT_FALSE(posixSharedMemory().openExisting(name.c_str(), 65));
  EXPECT_FALSE(posixSharedMemory().openOwned(name.c_str(), 65, &refused));
  for (std::size_t asked : {std::size_t{63}, std::size_t{65}}) {
    SharedMemory::Look look = SharedMemory::Look::kOpened;
    std::size_t found = 0;
    EXPECT_FALSE(posixSharedMemory().openOwnedForReading(name.c_str(), asked, &look, &found));
    EXPECT_EQ(look, SharedMemory::Look::kWrongSize) << asked;
    EXPECT_EQ(found, 64u);
  }
  posixSharedMemory().removeName(name.c_str());
}

TEST(PosixSharedMemory, ReadingViewTakesAnEmptyBlockForOneBeingMade) {
  const std::string name = "orvik_test_empty_" + std::to_string(::getpid());
  // A creator between its create and its ftruncate.
  const int fd = ::shm_open(("/" + name).c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  ASSERT_GE(fd, 0);
  ::close(fd);
  SharedMemory::Look look = SharedMemory::Look::kOpened;
  std::size_t found = 1;
  EXPECT_FALSE(posixSharedMemory().openOwnedForReading(name.c_str(), 64, &look, &found));
  EXPECT_EQ(look, SharedMemory::Look::kNotOwned) << "an empty block is one being made";
  posixSharedMemory().removeName(name.c_str());
}

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
