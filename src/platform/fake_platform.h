// Test doubles for the platform interfaces, and one bundle of them.
#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/fake_clock.h"
#include "platform/fake_processes.h"
#include "platform/fake_serial_port.h"
#include "platform/fake_simple_mapi.h"
#include "platform/fake_sockets.h"
#include "platform/platform.h"

namespace orvik {

// Named blocks in process memory; they live as long as this object, like a
// POSIX name until it is removed.
class FakeSharedMemory final : public SharedMemory {
 public:
  std::unique_ptr<SharedBlock> createOrOpen(const char* name, std::size_t size,
                                            bool* existed) override;
  std::unique_ptr<SharedBlock> openExisting(const char* name, std::size_t size) override;
  std::unique_ptr<SharedBlock> openOwned(const char* name, std::size_t size,
                                         bool* refused) override;
  std::unique_ptr<SharedBlock> openOwnedForReading(const char* name, std::size_t size, Look* look,
                                                   std::size_t* foundSize) override;
  void removeName(const char* name) override;

  bool failCreate = false;  // every createOrOpen fails
  bool refuseOpen = false;  // openOwned finds every existing block refused
  bool exists(const char* name) const;

  // One named block; views share it, owners counts the views holding the
  // owner lock.
  struct Shared {
    std::vector<unsigned char> bytes;
    int owners = 0;
  };

 private:
  mutable std::mutex mutex_;
  std::map<std::string, std::shared_ptr<Shared>> blocks_;
};

class FakeSystemInfo final : public SystemInfo {
 public:
  bool osVersion(OsVersion* out) override;
  std::string osName() override { return osNameValue; }
  std::string hostName() override { return hostNameValue; }
  std::string computerName() override { return computerNameValue; }
  std::string programPath() override { return programPathValue; }
  void registerServiceProcess() override { ++registrations; }

  bool versionQueryWorks = true;
  OsVersion version{OsVersion::kNt, 10, 0};
  std::string osNameValue = "Linux 6.1.0";
  std::string hostNameValue = "testhost";
  std::string computerNameValue = "TESTHOST";
  std::string programPathValue = "/opt/orvik/upskeeper";
  int registrations = 0;
};

class FakeUserInterface final : public UserInterface {
 public:
  void messageBox(const char* caption, const char* text) override;
  std::vector<std::string> boxes;  // "caption: text"
};

class FakeMessageLoop final : public QueuedMessageLoop {};

// Syncs nothing; counts what was asked, so tests can see that a replacement
// was made durable before it was renamed into place, and under its folder's
// lock. The locks are real between the threads of this process.
class FakeFileSystem final : public FileSystem {
 public:
  bool syncFile(const std::string& path) override;
  bool syncDirectory(const std::string& directory) override;
  std::unique_ptr<DirectoryLock> lockDirectory(const std::string& directory, int waitMs) override;
  // "file PATH", "dir PATH", "lock DIR" or "unlock DIR", in order
  std::vector<std::string> synced;

 private:
  friend class FakeDirectoryLock;
  void record(std::string line);
  void release(const std::string& directory, const std::string& key);

  std::mutex mutex_;
  std::condition_variable released_;
  std::set<std::string> held_;  // folders locked now
};

// Keeps every notice block; targets in `reachable` (and "*") take them.
class FakeMessenger final : public Messenger {
 public:
  struct Notice {
    std::string target;
    std::string block;  // the bytes as written, NULs included
  };
  int writeNotice(const std::string& target, const char* block, std::size_t size) override;
  std::vector<Notice> notices();

  std::vector<std::string> reachable;

 private:
  std::mutex mutex_;
  std::vector<Notice> notices_;
};

struct FakePlatform {
  FakeClock clock;
  FakeSharedMemory sharedMemory;
  FakeSystemInfo system;
  FakeUserInterface ui;
  FakeMessageLoop messages;
  FakeSockets sockets;
  FakeFileSystem files;
  FakeSerialPorts serial{clock};
  FakeMessenger messenger;
  FakeProcessStarter processes{clock};
  FakePowerControl power{clock};
  FakeSimpleMapi mapi;

  Platform platform() {
    Platform p;
    p.clock = &clock;
    p.sharedMemory = &sharedMemory;
    p.system = &system;
    p.ui = &ui;
    p.messages = &messages;
    p.sockets = &sockets;
    p.files = &files;
    p.serial = &serial;
    p.messenger = &messenger;
    p.processes = &processes;
    p.power = &power;
    p.mapi = &mapi;
    return p;
  }
};

}  // namespace orvik
