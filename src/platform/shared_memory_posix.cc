#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "platform/posix_backends.h"

namespace orvik {
namespace {

// The owner lock is an exclusive flock on the block's open file, held while
// the view lives; the kernel drops it when its process ends, however it
// ends. shm_open's descriptors are close-on-exec, so a program the owner
// starts cannot keep it alive.
constexpr int kLockAttempts = 400;
constexpr auto kLockRetryPause = std::chrono::milliseconds(5);

class PosixBlock final : public SharedBlock {
 public:
  PosixBlock(int fd, void* data, std::size_t size) : fd_(fd), data_(data), size_(size) {}
  ~PosixBlock() override {
    munmap(data_, size_);
    close(fd_);
  }
  void* data() override { return data_; }
  std::size_t size() const override { return size_; }

  // An opener's probe holds a shared lock for a moment; wait it out.
  bool holdOwnerLock() override {
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
      if (flock(fd_, LOCK_EX | LOCK_NB) == 0) return true;
      if (errno != EWOULDBLOCK && errno != EINTR) return false;
      std::this_thread::sleep_for(kLockRetryPause);
    }
    return false;
  }

 private:
  int fd_;
  void* data_;
  std::size_t size_;
};

// Between a creator's exclusive create and its ftruncate the block exists
// with size 0; an opener that finds it so waits for the creator this long
// (40 looks, 5 ms apart) before it gives up.
constexpr int kOpenAttempts = 40;
constexpr auto kOpenRetryPause = std::chrono::milliseconds(5);

enum class Owner { kHeld, kNone, kUnknown };

// Whether a service holds the block's owner lock. A shared lock granted means
// no owner holds the exclusive one; it is given back at once, so an owner
// starting now gets its lock.
Owner probeOwner(int fd) {
  if (flock(fd, LOCK_SH | LOCK_NB) == 0) {
    flock(fd, LOCK_UN);
    return Owner::kNone;
  }
  return errno == EWOULDBLOCK ? Owner::kHeld : Owner::kUnknown;
}

// Takes over fd: the block keeps it for its owner lock.
std::unique_ptr<SharedBlock> mapWhole(int fd, std::size_t size, bool writable = true) {
  void* data =
      mmap(nullptr, size, writable ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd, 0);
  if (data == MAP_FAILED) {
    close(fd);
    return nullptr;
  }
  return std::make_unique<PosixBlock>(fd, data, size);
}

// The record is writable by its owner and one group only: whoever can write
// it can change the command the service runs.
class PosixSharedMemory final : public SharedMemory {
 public:
  std::unique_ptr<SharedBlock> createOrOpen(const char* name, std::size_t size,
                                            bool* existed) override {
    const std::string path = std::string("/") + name;
    for (int attempt = 1;; ++attempt) {
      int fd = shm_open(path.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
      if (fd >= 0) {
        if (!restrictAccess(fd) || ftruncate(fd, static_cast<off_t>(size)) != 0) {
          close(fd);
          shm_unlink(path.c_str());
          return nullptr;
        }
        *existed = false;
        return mapWhole(fd, size);
      }
      if (errno != EEXIST) return nullptr;
      bool unready = false;
      if (auto block = openSized(path, size, &unready)) {
        *existed = true;
        return block;
      }
      // Still being created, or its creator gave up and removed it (then
      // the next attempt creates it): look again shortly.
      if (!unready || attempt == kOpenAttempts) return nullptr;
      std::this_thread::sleep_for(kOpenRetryPause);
    }
  }

  std::unique_ptr<SharedBlock> openExisting(const char* name, std::size_t size) override {
    bool unready = false;
    return openSized(std::string("/") + name, size, &unready);
  }

  std::unique_ptr<SharedBlock> openOwned(const char* name, std::size_t size,
                                         bool* refused) override {
    *refused = false;
    const int fd = shm_open((std::string("/") + name).c_str(), O_RDWR, 0);
    if (fd < 0) {
      *refused = errno != ENOENT;
      return nullptr;
    }
    struct stat info {};
    const bool large = fstat(fd, &info) == 0 && static_cast<std::size_t>(info.st_size) >= size;
    const Owner owner = large ? probeOwner(fd) : Owner::kNone;
    if (owner != Owner::kHeld) {
      *refused = owner == Owner::kUnknown;
      close(fd);
      return nullptr;
    }
    return mapWhole(fd, size);
  }

  std::unique_ptr<SharedBlock> openOwnedForReading(const char* name, std::size_t size, Look* look,
                                                   std::size_t* foundSize) override {
    *foundSize = 0;
    const int fd = shm_open((std::string("/") + name).c_str(), O_RDONLY, 0);
    if (fd < 0) {
      *look = errno == ENOENT ? Look::kAbsent : Look::kRefused;
      return nullptr;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0) {
      *look = Look::kRefused;
      close(fd);
      return nullptr;
    }
    *foundSize = static_cast<std::size_t>(info.st_size);
    if (*foundSize != size) {
      *look = *foundSize == 0 ? Look::kNotOwned : Look::kWrongSize;
      close(fd);
      return nullptr;
    }
    const Owner owner = probeOwner(fd);
    if (owner != Owner::kHeld) {
      *look = owner == Owner::kNone ? Look::kNotOwned : Look::kRefused;
      close(fd);
      return nullptr;
    }
    std::unique_ptr<SharedBlock> block = mapWhole(fd, size, false);
    *look = block ? Look::kOpened : Look::kRefused;
    return block;
  }

  void removeName(const char* name) override { shm_unlink((std::string("/") + name).c_str()); }

  void setAccessGroup(const std::string& group) { group_ = group; }

 private:
  // 0660 regardless of umask, handed to the configured group when there is one.
  bool restrictAccess(int fd) {
    if (!group_.empty()) {
      const struct group* entry = getgrnam(group_.c_str());
      if (entry == nullptr || fchown(fd, static_cast<uid_t>(-1), entry->gr_gid) != 0) return false;
    }
    return fchmod(fd, 0660) == 0;
  }

  // Null on failure; *unready tells whether the failure may pass: the name
  // is missing or the block is smaller than size.
  static std::unique_ptr<SharedBlock> openSized(const std::string& path, std::size_t size,
                                                bool* unready) {
    const int fd = shm_open(path.c_str(), O_RDWR, 0);
    if (fd < 0) {
      *unready = errno == ENOENT;
      return nullptr;
    }
    struct stat info {};
    const bool stated = fstat(fd, &info) == 0;
    if (!stated || static_cast<std::size_t>(info.st_size) < size) {
      *unready = stated;
      close(fd);
      return nullptr;
    }
    return mapWhole(fd, size);
  }

  std::string group_;
};

PosixSharedMemory& instance() {
  static PosixSharedMemory memory;
  return memory;
}

}  // namespace

SharedMemory& posixSharedMemory() { return instance(); }

void setSharedMemoryGroup(const std::string& group) { instance().setAccessGroup(group); }

}  // namespace orvik
