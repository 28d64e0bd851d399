// Saves of one page from many browser tabs at once, each its own kestrel
// process: the file is whole at every moment, and no save is lost to
// another one (page 23 reads the agent's file, changes it and writes it
// back), nor mixed with it (all saves go through one temporary name).
#include <gtest/gtest.h>

#include <set>

#include "page_write_files.h"

namespace {

using namespace page_write;

class PageWriteRace : public ::testing::TestWithParam<const char*> {};

TEST_P(PageWriteRace, SimultaneousSavesNeitherMixNorLoseAChange) {
  const std::string kind = GetParam();
  const fs::path folder = makeFolder("orvik_page_race_" + kind);
  const fs::path file = pageFile(folder, kind);
  // Writer w saves the numbers from 10^(w+1) on: no two share one, and
  // their lengths differ, so a mix of two saves shows.
  constexpr int kWriters = 8;
  constexpr long kSaves = 20;
  std::vector<pid_t> writers;
  std::vector<long> firsts;
  long first = 1;
  for (int w = 0; w < kWriters; ++w) {
    first *= 10;
    firsts.push_back(first);
    writers.push_back(spawnWriteLoop(folder, kind.c_str(), first, std::to_string(kSaves).c_str()));
    ASSERT_GT(writers.back(), 0);
  }
  int running = kWriters;
  int looks = 0;
  while (running > 0) {
    const std::string now = read(file);
    ++looks;
    EXPECT_TRUE(now == "(missing)" || whole(kind, now)) << now.substr(0, 400);
    if (::testing::Test::HasFailure()) break;
    for (pid_t& pid : writers) {
      int status = 0;
      if (pid > 0 && waitpid(pid, &status, WNOHANG) == pid) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        pid = 0;
        --running;
      }
    }
  }
  for (const pid_t pid : writers) {
    if (pid > 0) waitFor(pid);
  }
  const std::string last = read(file);
  ASSERT_TRUE(whole(kind, last)) << last.substr(0, 400);
  if (kind == "snmp-add") {
    std::multiset<std::string> found;
    const std::string communities = last.substr(agentLines().size());
    for (std::size_t at = 0; at < communities.size();) {
      const std::size_t end = communities.find('\n', at);
      found.insert(communities.substr(at, end - at));
      at = end + 1;
    }
    std::multiset<std::string> added;
    for (const long from : firsts) {
      for (long n = from; n < from + kSaves; ++n) added.insert("rwcommunity c" + std::to_string(n));
    }
    EXPECT_EQ(found.size(), added.size()) << "communities lost or doubled";
    EXPECT_TRUE(found == added);
  } else {
    // The last save of all is the last of some writer.
    const std::string n =
        kind == "access" ? last.substr(last.find('u') + 1) : last.substr(0, last.find('-'));
    std::set<long> lastSaves;
    for (const long from : firsts) lastSaves.insert(from + kSaves - 1);
    EXPECT_EQ(lastSaves.count(std::stol(n)), 1u) << last;
  }
  for (const auto& entry : fs::directory_iterator(folder)) {
    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
  }
  std::printf("%d looks at the file while %d writers saved\n", looks, kWriters);
  fs::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(PageFiles, PageWriteRace,
                         ::testing::Values("access", "links", "snmp-add"));

}  // namespace
