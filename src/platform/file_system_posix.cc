#include <fcntl.h>
#include <unistd.h>

#include "platform/posix_backends.h"

namespace orvik {
namespace {

bool syncPath(const std::string& path, int flags) {
  const int fd = open(path.empty() ? "." : path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = fsync(fd) == 0;
  return close(fd) == 0 && synced;
}

class PosixFileSystem final : public FileSystem {
 public:
  bool syncFile(const std::string& path) override { return syncPath(path, O_RDONLY); }
  bool syncDirectory(const std::string& directory) override {
    return syncPath(directory, O_RDONLY | O_DIRECTORY);
  }
};

}  // namespace

FileSystem& posixFileSystem() {
  static PosixFileSystem files;
  return files;
}

}  // namespace orvik
