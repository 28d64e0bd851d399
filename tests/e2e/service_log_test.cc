// upskeeper started in a folder of its own logs "service started" at once and
// "service stopped" when it is told to end.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

bool hasEvent(const std::string& log, const char* number) {
  for (std::size_t at = 0; at + 71 <= log.size(); at += 71) {
    if (log.compare(at, 3, number) == 0) return true;
  }
  return false;
}

TEST(ServiceLog, StartedServiceLogsStartWithinASecondAndStopOnTerminate) {
  const fs::path folder = fs::temp_directory_path() / ("orvik_service_" + std::to_string(getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  int messageFiles = 0;
  for (const auto& entry : fs::directory_iterator(DATA_DIR)) {
    if (entry.path().filename().string().rfind("msg.", 0) == 0) {
      fs::copy_file(entry.path(), folder / entry.path().filename());
      ++messageFiles;
    }
  }
  ASSERT_GT(messageFiles, 0) << "no message files in " << DATA_DIR;
  // No UPS attached: a device that opens would add its one-second settle to the start.
  // The power commands only record, as in every test that starts the service.
  const fs::path recorder = folder / "power-recorder";
  std::ofstream(recorder) << "#!/bin/sh\necho \"$*\" >> \"${0%/*}/power-requests.log\"\n";
  fs::permissions(recorder, fs::perms::owner_all);
  std::ofstream(folder / "platform.ini")
      << "COM1=" << (folder / "no-such-device").string() << "\n"
      << "PowerOffCommand=" << recorder.string() << " power off requested\n"
      << "StopServiceCommand=" << recorder.string() << " stop requested\n";
  const fs::path program = folder / "upskeeper";
  fs::copy_file(UPSKEEPER_PATH, program);

  char* args[] = {const_cast<char*>(program.c_str()), nullptr};
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, args, environ), 0);

  const auto start = std::chrono::steady_clock::now();
  while (!hasEvent(readAll(folder / "kestrel.log"), "024") &&
         std::chrono::steady_clock::now() - start < std::chrono::seconds(1)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(hasEvent(readAll(folder / "kestrel.log"), "024"));

  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const std::string log = readAll(folder / "kestrel.log");
  EXPECT_TRUE(hasEvent(log, "124")) << log;
  EXPECT_EQ(log.size() % 71, 0u) << log;
  fs::remove_all(folder);
}

}  // namespace
