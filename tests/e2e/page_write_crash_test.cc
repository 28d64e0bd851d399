// A page's file write killed at any moment (kill -9) leaves the old file or
// the new one, never a missing, empty, short or mixed one: the access file
// (page 61), the links file (page 64) and the SNMP agent's file (page 23).
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

pid_t spawnWriteLoop(const fs::path& folder, const char* kind, long first,
                     const char* count = nullptr) {
  std::vector<std::string> words = {WRITE_LOOP_PATH, folder.string(), kind, std::to_string(first)};
  if (count != nullptr) words.push_back(count);
  std::vector<char*> args;
  for (std::string& word : words) args.push_back(word.data());
  args.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, WRITE_LOOP_PATH, nullptr, nullptr, args.data(), environ) != 0) return -1;
  return pid;
}

int waitFor(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

std::string read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return in ? std::string((std::istreambuf_iterator<char>(in)), {}) : "(missing)";
}

std::string padded(const std::string& text) { return text + std::string(63 - text.size(), 'x'); }

// A long block of the agent's own lines, so that a kill can land inside a write.
std::string agentLines() {
  std::string lines = "agentaddress udp:127.0.0.1:1161\n";
  for (int i = 0; i < 3000; ++i) lines += "# the agent's own line " + std::to_string(i) + "\n";
  return lines;
}

// True when text is one whole write of the loop.
bool whole(const std::string& kind, const std::string& text) {
  std::smatch match;
  if (kind == "access") {
    static const std::regex access(
        "\\[/\\]\nu([0-9]+)=p\\1\n\\[/java\\]\nall=\\*\n\\[/help\\]\nall=\\*\n");
    return std::regex_match(text, access);
  }
  if (kind == "links") {
    const std::string n = text.substr(0, text.find('-'));
    std::string expected;
    for (int i = 1; i <= 6; ++i) expected += padded(n + "-" + std::to_string(i)) + "\n";
    return !n.empty() && text == expected;
  }
  static const std::string lines = agentLines();
  if (text.compare(0, lines.size(), lines) != 0) return false;
  // A kill between an add and its removal leaves that community behind.
  static const std::regex community("(rwcommunity c[0-9]+\n)*");
  return std::regex_match(text.substr(lines.size()), community);
}

class PageWriteCrash : public ::testing::TestWithParam<const char*> {};

TEST_P(PageWriteCrash, KilledWriteLeavesTheOldOrTheNewFile) {
  const std::string kind = GetParam();
  const fs::path folder =
      fs::temp_directory_path() / ("orvik_page_crash_" + kind + std::to_string(getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  const fs::path file = folder / (kind == "access"  ? "defaults.aut"
                                  : kind == "links" ? "link.cfg"
                                                    : "snmpd.conf");
  std::ofstream(folder / "platform.ini")
      << "SnmpdConf=" << (folder / "snmpd.conf").string() << "\n";
  std::ofstream(folder / "snmpd.conf") << agentLines();

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
