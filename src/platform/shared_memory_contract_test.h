// What every SharedMemory backend must do, as one parameterised suite. A
// backend's test file instantiates it with the backends it has:
//   INSTANTIATE_TEST_SUITE_P(Backends, SharedMemoryContract,
//                            ::testing::Values(SharedMemoryBackend{"Posix", &posixSharedMemory},
//                                              fakeSharedMemoryBackend()), backendName);
// Every test works on a name of its own, whose blocks go with the test.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "platform/fake_platform.h"
#include "platform/shared_memory.h"

namespace orvik {

struct SharedMemoryBackend {
  const char* name;
  SharedMemory& (*memory)();
};

inline SharedMemory& fakeSharedMemory() {
  static FakeSharedMemory fake;
  return fake;
}
inline SharedMemoryBackend fakeSharedMemoryBackend() { return {"Fake", &fakeSharedMemory}; }
inline std::string backendName(const ::testing::TestParamInfo<SharedMemoryBackend>& info) {
  return info.param.name;
}

class SharedMemoryContract : public ::testing::TestWithParam<SharedMemoryBackend> {
 protected:
  void SetUp() override {
    memory_ = &GetParam().memory();
    // Another test run on the machine may be at the same test now.
    static const unsigned run = std::random_device{}();
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    name_ = "orvik_test_" + std::to_string(run) + "_" + test->name();
    for (char& c : name_) {
      if (c == '/') c = '_';
    }
    memory_->removeName(name_.c_str());
  }
  void TearDown() override { memory_->removeName(name_.c_str()); }

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

// Sizes a page apart: Windows keeps a mapping's size in whole pages where
// it rounds (Wine does), so only the POSIX tests tell 64 bytes from 65.
inline constexpr std::size_t kPage = 4096;
inline constexpr std::size_t kBlock = kPage + 64;
inline constexpr std::size_t kSmaller = kBlock - kPage;
inline constexpr std::size_t kLarger = kBlock + kPage;

TEST_P(SharedMemoryContract, OpenExistingNeedsTheNameAndTheSize) {
  EXPECT_FALSE(memory_->openExisting(name_.c_str(), kBlock));
  bool existed = false;
  auto block = memory_->createOrOpen(name_.c_str(), kBlock, &existed);
  ASSERT_TRUE(block);
  EXPECT_TRUE(memory_->openExisting(name_.c_str(), kBlock));
  EXPECT_FALSE(memory_->openExisting(name_.c_str(), kLarger));
}

TEST_P(SharedMemoryContract, OpenOwnedFindsOnlyABlockWhoseOwnerHoldsIt) {
  bool refused = true;
  EXPECT_FALSE(memory_->openOwned(name_.c_str(), kBlock, &refused));
  EXPECT_FALSE(refused) << "no block is absent, not refused";

  bool existed = false;
  auto owner = memory_->createOrOpen(name_.c_str(), kBlock, &existed);
  ASSERT_TRUE(owner);
  static_cast<char*>(owner->data())[3] = 'o';
  EXPECT_FALSE(memory_->openOwned(name_.c_str(), kBlock, &refused)) << "not held yet";
  EXPECT_FALSE(refused);

  ASSERT_TRUE(owner->holdOwnerLock());
  auto opened = memory_->openOwned(name_.c_str(), kBlock, &refused);
  ASSERT_TRUE(opened);
  EXPECT_EQ(static_cast<char*>(opened->data())[3], 'o');
  EXPECT_FALSE(memory_->openOwned(name_.c_str(), kLarger, &refused)) << "smaller than asked";
  // Openers do not disturb the owner, nor one another.
  auto second = memory_->openOwned(name_.c_str(), kBlock, &refused);
  EXPECT_TRUE(second);

  owner.reset();  // the owner's view goes, the name and the other views stay
  EXPECT_FALSE(memory_->openOwned(name_.c_str(), kBlock, &refused));
  EXPECT_FALSE(refused);
  EXPECT_TRUE(memory_->openExisting(name_.c_str(), kBlock));
  EXPECT_EQ(static_cast<char*>(opened->data())[3], 'o');
}

TEST_P(SharedMemoryContract, ReadingViewTellsAbsentUnownedForeignAndLiveBlocksApart) {
  using Look = SharedMemory::Look;
  Look look = Look::kOpened;
  std::size_t found = 1;
  EXPECT_FALSE(memory_->openOwnedForReading(name_.c_str(), kBlock, &look, &found));
  EXPECT_EQ(look, Look::kAbsent);

  bool existed = false;
  auto owner = memory_->createOrOpen(name_.c_str(), kBlock, &existed);
  ASSERT_TRUE(owner);
  static_cast<char*>(owner->data())[5] = 'r';
  EXPECT_FALSE(memory_->openOwnedForReading(name_.c_str(), kBlock, &look, &found));
  EXPECT_EQ(look, Look::kNotOwned);
  ASSERT_TRUE(owner->holdOwnerLock());
  auto view = memory_->openOwnedForReading(name_.c_str(), kBlock, &look, &found);
  ASSERT_TRUE(view);
  EXPECT_EQ(look, Look::kOpened);
  EXPECT_EQ(static_cast<const char*>(view->data())[5], 'r');
  // Larger or smaller than asked is somebody else's block, owned or not.
  for (std::size_t asked : {kSmaller, kLarger}) {
    EXPECT_FALSE(memory_->openOwnedForReading(name_.c_str(), asked, &look, &found));
    EXPECT_EQ(look, Look::kWrongSize) << asked;
    EXPECT_GE(found, kBlock);
    EXPECT_LT(found, kBlock + kPage);
  }
}

}  // namespace orvik
