#include "service/core/ups_command_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace orvik {
namespace {

TEST(UpsCommandQueue, FullRingRefusesTheNextPairAndKeepsTheUnreadOnesInOrder) {
  UpsCommandQueue queue;
  UpsCommand taken;
  EXPECT_FALSE(queue.takeUpsCommand(&taken));
  for (int i = 0; i < 5; ++i) queue.queueUpsCommand(1, i);  // so the ring wraps below
  while (queue.takeUpsCommand(&taken)) {
  }
  for (int i = 0; i < kUpsCommandSlots - 1; ++i) ASSERT_EQ(queue.queueUpsCommand(369, i), 0) << i;
  EXPECT_EQ(queue.queueUpsCommand(386, 999), -1);
  EXPECT_FALSE(queue.isEmpty());

  for (int i = 0; i < kUpsCommandSlots - 1; ++i) {
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
  for (bool done = false; !done;) {
    done = writerDone.load();
    UpsCommand pair;
    while (queue.takeUpsCommand(&pair)) taken.push_back(pair.argument);
  }
  writer.join();
  EXPECT_EQ(taken, accepted);
  EXPECT_GE(accepted.size(), static_cast<std::size_t>(kUpsCommandSlots - 1));
}

}  // namespace
}  // namespace orvik
