#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/posix_backends.h"

namespace orvik {
namespace {

bool syncPath(const std::string& path, int flags) {
  const int fd = open(path.empty() ? "." : path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = fsync(fd) == 0;
  return close(fd) == 0 && synced;
}

// flock belongs to the open file description, so every open of the folder,
// in this process or another, contends; the kernel drops it when the last
// descriptor closes, also when the holder is killed.
class PosixDirectoryLock final : public DirectoryLock {
 public:
  explicit PosixDirectoryLock(int fd) : fd_(fd) {}
  ~PosixDirectoryLock() override { close(fd_); }

 private:
  int fd_;
};

class PosixFileSystem final : public FileSystem {
 public:
  bool syncFile(const std::string& path) override { return syncPath(path, O_RDONLY); }
  bool syncDirectory(const std::string& directory) override {
    return syncPath(directory, O_RDONLY | O_DIRECTORY);
  }

  std::unique_ptr<DirectoryLock> lockDirectory(const std::string& directory, int waitMs) override {
    const int fd =
        open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    // Polled rather than blocking, so that a holder that hangs costs a
    // waiter waitMs and not the rest of its life.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    auto pause = std::chrono::microseconds(200);
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      if ((errno != EWOULDBLOCK && errno != EINTR) ||
          std::chrono::steady_clock::now() >= deadline) {
        close(fd);
        return nullptr;
      }
      std::this_thread::sleep_for(pause);
      pause = std::min(pause * 2, std::chrono::microseconds(10'000));
    }
    return std::make_unique<PosixDirectoryLock>(fd);
  }
};

}  // namespace

FileSystem& posixFileSystem() {
  static PosixFileSystem files;
  return files;
}

}  // namespace orvik
