#include "service/core/ups_command_queue.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace orvik {
namespace {

TEST(UpsCommandQueue, EmptyRingHasNothingToTake) {
  UpsCommandQueue queue;
  UpsCommand taken{7, 7};
  EXPECT_TRUE(queue.isEmpty());
  EXPECT_FALSE(queue.takeUpsCommand(&taken));
  EXPECT_EQ(taken.command, 7u);
}

TEST(UpsCommandQueue, PairsComeOutInOrderAcrossManyWraps) {
  UpsCommandQueue queue;
  int next = 0;
  for (int round = 0; round < 30; ++round) {
    const int burst = round % 7 + 1;
    for (int i = 0; i < burst; ++i)
      ASSERT_EQ(queue.queueUpsCommand(400 + round, round * 100 + i), 0);
    for (int i = 0; i < burst; ++i) {
      UpsCommand taken;
      ASSERT_TRUE(queue.takeUpsCommand(&taken));
      EXPECT_EQ(taken.command, 400u + round);
      EXPECT_EQ(taken.argument, round * 100 + i);
      ++next;
    }
    EXPECT_TRUE(queue.isEmpty());
  }
  EXPECT_GT(next, kUpsCommandSlots * 3);
}

TEST(UpsCommandQueue, FullRingRefusesTheNextPairAndKeepsTheUnreadOnes) {
  UpsCommandQueue queue;
  for (int i = 0; i < 5; ++i) queue.queueUpsCommand(1, i);  // move the indices off zero
  for (int i = 0; i < 5; ++i) {
    UpsCommand taken;
    queue.takeUpsCommand(&taken);
  }
  for (int i = 0; i < kUpsCommandSlots - 1; ++i) ASSERT_EQ(queue.queueUpsCommand(369, i), 0) << i;
  EXPECT_EQ(queue.queueUpsCommand(386, 999), -1);
  EXPECT_FALSE(queue.isEmpty());

  for (int i = 0; i < kUpsCommandSlots - 1; ++i) {
    UpsCommand taken;
    ASSERT_TRUE(queue.takeUpsCommand(&taken));
    EXPECT_EQ(taken.command, 369u);
    EXPECT_EQ(taken.argument, i);
  }
  EXPECT_TRUE(queue.isEmpty());
  EXPECT_EQ(queue.queueUpsCommand(386, 1000), 0) << "room again once read";
}

// One writer thread floods the ring while one reader takes: every pair the
// ring accepted comes out once, in order, and nothing else comes out.
TEST(UpsCommandQueue, FloodOfAThousandLosesAndOverwritesNothingAccepted) {
  UpsCommandQueue queue;
  std::vector<int32_t> accepted;
  std::atomic<bool> writerDone{false};
  std::thread writer([&] {
    for (int32_t i = 0; i < 1000; ++i) {
      if (queue.queueUpsCommand(369, i) == 0) accepted.push_back(i);
      if (i % 50 == 0) std::this_thread::yield();
    }
    writerDone = true;
  });
  std::vector<int32_t> taken;
  for (;;) {
    UpsCommand pair;
    const bool done = writerDone.load();
    while (queue.takeUpsCommand(&pair)) {
      EXPECT_EQ(pair.command, 369u);
      taken.push_back(pair.argument);
    }
    if (done) break;
  }
  writer.join();
  EXPECT_EQ(taken, accepted);
  EXPECT_GE(accepted.size(), static_cast<std::size_t>(kUpsCommandSlots - 1));
}

TEST(UpsCommandQueue, WriterThatRetriesGetsAllThousandThroughInOrder) {
  UpsCommandQueue queue;
  std::thread writer([&] {
    for (int32_t i = 0; i < 1000; ++i) {
      while (queue.queueUpsCommand(387, i) != 0) std::this_thread::yield();
    }
  });
  std::vector<int32_t> taken;
  while (taken.size() < 1000) {
    UpsCommand pair;
    if (queue.takeUpsCommand(&pair)) {
      taken.push_back(pair.argument);
    } else {
      std::this_thread::yield();
    }
  }
  writer.join();
  for (int32_t i = 0; i < 1000; ++i) ASSERT_EQ(taken[i], i);
  EXPECT_TRUE(queue.isEmpty());
}

}  // namespace
}  // namespace orvik
