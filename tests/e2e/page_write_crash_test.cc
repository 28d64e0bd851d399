// A page's file write killed at any moment (kill -9) leaves the old file or
// the new one, never a missing, empty, short or mixed one: the access file
// (page 61), the links file (page 64) and the SNMP agent's file (page 23).
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <random>
#include <thread>

#include "page_write_files.h"

namespace {

using namespace page_write;

class PageWriteCrash : public ::testing::TestWithParam<const char*> {};

TEST_P(PageWriteCrash, KilledWriteLeavesTheOldOrTheNewFile) {
  const std::string kind = GetParam();
  const fs::path folder = makeFolder("orvik_page_crash_" + kind);
  const fs::path file = pageFile(folder, kind);

  const unsigned seed = std::random_device()();
  std::printf("seed %u\n", seed);
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delayUs(0, 20000);

  ASSERT_EQ(waitFor(spawnWriteLoop(folder, kind.c_str(), 1, "1")), 0);
  ASSERT_TRUE(whole(kind, read(file))) << read(file);

  int killedMidRun = 0;
  std::string last = read(file);
  int changes = 0;
  for (int kill = 0; kill < 100; ++kill) {
    const pid_t pid = spawnWriteLoop(folder, kind.c_str(), (kill + 1) * 1'000'000L);
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
    ::kill(pid, SIGKILL);
    if (WIFSIGNALED(waitFor(pid))) ++killedMidRun;
    const std::string now = read(file);
    ASSERT_TRUE(whole(kind, now)) << "after kill " << kill << ", seed " << seed << ":\n"
                                  << now.substr(0, 400);
    changes += now != last;
    last = now;
  }
  EXPECT_EQ(killedMidRun, 100);
  // The kills landed while the loop was writing, not all before it began.
  EXPECT_GT(changes, 10);
  fs::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(PageFiles, PageWriteCrash, ::testing::Values("access", "links", "snmp"));

}  // namespace
