// A save killed at any moment never leaves "kestrel.cfg" missing, short, or
// made of parts of two saves.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kFileLength = 74968;
// File offset and length of each block of the settings file.
constexpr std::pair<std::size_t, std::size_t> kBlocks[] = {
    {0, 64},      {64, 64},      {128, 2},    {130, 564},
    {694, 72128}, {72822, 1044}, {73866, 20}, {73886, 1082},
};

pid_t spawnSaveLoop(const std::string& folder, uint32_t first, const char* count = nullptr) {
  std::string firstText = std::to_string(first);
  std::vector<char*> args = {const_cast<char*>(SAVE_LOOP_PATH), const_cast<char*>(folder.c_str()),
                             firstText.data()};
  if (count != nullptr) args.push_back(const_cast<char*>(count));
  args.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, SAVE_LOOP_PATH, nullptr, nullptr, args.data(), environ) != 0) return -1;
  return pid;
}

int waitFor(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

// Empty when the file is one whole save; otherwise what is wrong with it.
std::string checkSettingsFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "missing";
  const std::string bytes((std::istreambuf_iterator<char>(in)), {});
  if (bytes.size() != kFileLength) return "length " + std::to_string(bytes.size());
  uint32_t counter = 0;
  for (int i = 0; i < 4; ++i) counter |= uint32_t{static_cast<unsigned char>(bytes[i])} << (8 * i);
  for (const auto& [offset, length] : kBlocks) {
    for (std::size_t i = 0; i < length; ++i) {
      if (static_cast<unsigned char>(bytes[offset + i]) !=
          static_cast<unsigned char>(counter >> (8 * (i % 4)))) {
        return "block at " + std::to_string(offset) + " is not from save " +
               std::to_string(counter);
      }
    }
  }
  return "";
}

TEST(SettingsCrash, KilledSaveLeavesTheLastWholeSettingsFile) {
  const fs::path folder = fs::temp_directory_path() / ("orvik_crash_" + std::to_string(getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  const std::string path = (folder / "kestrel.cfg").string();

  const unsigned seed = std::random_device()();
  std::printf("seed %u\n", seed);
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delayUs(0, 15000);

  ASSERT_EQ(waitFor(spawnSaveLoop(folder.string(), 1, "1")), 0);
  ASSERT_EQ(checkSettingsFile(path), "");

  int killedMidRun = 0;
  for (int kill = 0; kill < 200; ++kill) {
    const pid_t pid = spawnSaveLoop(folder.string(), static_cast<uint32_t>(kill + 1) * 1'000'000);
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
    ::kill(pid, SIGKILL);
    const int status = waitFor(pid);
    if (WIFSIGNALED(status)) ++killedMidRun;
    ASSERT_EQ(checkSettingsFile(path), "") << "after kill " << kill << ", seed " << seed;
  }
  EXPECT_EQ(killedMidRun, 200);
  fs::remove_all(folder);
}

}  // namespace
