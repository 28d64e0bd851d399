#include "platform/fake_platform.h"

#include <atomic>
#include <chrono>
#include <filesystem>

namespace orvik {
namespace {

class FakeBlock final : public SharedBlock {
 public:
  FakeBlock(std::shared_ptr<FakeSharedMemory::Shared> shared, std::size_t size)
      : shared_(std::move(shared)), size_(size) {}
  ~FakeBlock() override {
    if (owner_) std::atomic_ref<int>(shared_->owners).fetch_sub(1);
  }
  void* data() override { return shared_->bytes.data(); }
  std::size_t size() const override { return size_; }
  bool holdOwnerLock() override {
    if (!owner_) std::atomic_ref<int>(shared_->owners).fetch_add(1);
    owner_ = true;
    return true;
  }

 private:
  std::shared_ptr<FakeSharedMemory::Shared> shared_;
  std::size_t size_;
  bool owner_ = false;
};

}  // namespace

std::unique_ptr<SharedBlock> FakeSharedMemory::createOrOpen(const char* name, std::size_t size,
                                                            bool* existed) {
  if (failCreate) return nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto& shared = blocks_[name];
    *existed = shared != nullptr;
    if (!shared) {
      shared = std::make_shared<Shared>();
      shared->bytes.assign(size, 0);
    }
  }
  return openExisting(name, size);
}

std::unique_ptr<SharedBlock> FakeSharedMemory::openExisting(const char* name, std::size_t size) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = blocks_.find(name);
  if (it == blocks_.end() || it->second->bytes.size() < size) return nullptr;
  return std::make_unique<FakeBlock>(it->second, size);
}

std::unique_ptr<SharedBlock> FakeSharedMemory::openOwned(const char* name, std::size_t size,
                                                         bool* refused) {
  std::lock_guard<std::mutex> lock(mutex_);
  *refused = false;
  const auto it = blocks_.find(name);
  if (it == blocks_.end()) return nullptr;
  if (refuseOpen) {
    *refused = true;
    return nullptr;
  }
  if (it->second->bytes.size() < size || std::atomic_ref<int>(it->second->owners).load() == 0) {
    return nullptr;
  }
  return std::make_unique<FakeBlock>(it->second, size);
}

// Read-only only by contract: the view shares the writable bytes.
std::unique_ptr<SharedBlock> FakeSharedMemory::openOwnedForReading(const char* name,
                                                                   std::size_t size, Look* look,
                                                                   std::size_t* foundSize) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = blocks_.find(name);
  *foundSize = it == blocks_.end() ? 0 : it->second->bytes.size();
  *look = it == blocks_.end()                     ? Look::kAbsent
          : refuseOpen                            ? Look::kRefused
          : *foundSize != size && *foundSize != 0 ? Look::kWrongSize
          : *foundSize == 0 || std::atomic_ref<int>(it->second->owners).load() == 0
              ? Look::kNotOwned
              : Look::kOpened;
  if (*look != Look::kOpened) return nullptr;
  return std::make_unique<FakeBlock>(it->second, size);
}

void FakeSharedMemory::removeName(const char* name) {
  std::lock_guard<std::mutex> lock(mutex_);
  blocks_.erase(name);
}

bool FakeSharedMemory::exists(const char* name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return blocks_.count(name) != 0;
}

bool FakeSystemInfo::osVersion(OsVersion* out) {
  if (!versionQueryWorks) return false;
  *out = version;
  return true;
}

void FakeUserInterface::messageBox(const char* caption, const char* text) {
  boxes.push_back(std::string(caption) + ": " + text);
}

class FakeDirectoryLock final : public DirectoryLock {
 public:
  FakeDirectoryLock(FakeFileSystem& files, std::string directory, std::string key)
      : files_(files), directory_(std::move(directory)), key_(std::move(key)) {}
  ~FakeDirectoryLock() override { files_.release(directory_, key_); }

 private:
  FakeFileSystem& files_;
  std::string directory_;
  std::string key_;
};

void FakeFileSystem::record(std::string line) {
  std::lock_guard<std::mutex> lock(mutex_);
  synced.push_back(std::move(line));
}

bool FakeFileSystem::syncFile(const std::string& path) {
  record("file " + path);
  return true;
}

bool FakeFileSystem::syncDirectory(const std::string& directory) {
  record("dir " + directory);
  return true;
}

// A set of held folders under a condition variable rather than a timed
// mutex per folder: the thread sanitizer cannot follow a timed lock.
std::unique_ptr<DirectoryLock> FakeFileSystem::lockDirectory(const std::string& directory,
                                                             int waitMs) {
  std::error_code error;
  if (!std::filesystem::is_directory(directory, error)) return nullptr;
  std::filesystem::path folder = std::filesystem::path(directory).lexically_normal();
  if (!folder.has_filename()) folder = folder.parent_path();  // "a/b/" is "a/b"
  std::string key = folder.string();
  std::unique_lock<std::mutex> lock(mutex_);
  if (!released_.wait_for(lock, std::chrono::milliseconds(waitMs),
                          [&] { return held_.count(key) == 0; })) {
    return nullptr;
  }
  held_.insert(key);
  synced.push_back("lock " + directory);
  return std::make_unique<FakeDirectoryLock>(*this, directory, std::move(key));
}

void FakeFileSystem::release(const std::string& directory, const std::string& key) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    synced.push_back("unlock " + directory);
    held_.erase(key);
  }
  released_.notify_all();
}

int FakeMessenger::writeNotice(const std::string& target, const char* block, std::size_t size) {
  std::lock_guard<std::mutex> lock(mutex_);
  notices_.push_back({target, std::string(block, size)});
  if (target == "*") return 1;
  for (const std::string& name : reachable) {
    if (name == target) return 1;
  }
  return 0;
}

std::vector<FakeMessenger::Notice> FakeMessenger::notices() {
  std::lock_guard<std::mutex> lock(mutex_);
  return notices_;
}

}  // namespace orvik
