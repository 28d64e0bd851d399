#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "platform/win32_backends.h"

namespace orvik {
namespace {

// The folder as one spelling: full, long names, one case, no end separator,
// so that every way of writing it names the same lock.
bool canonicalFolder(const std::string& directory, std::string* folder) {
  char full[MAX_PATH * 2];
  DWORD n =
      GetFullPathNameA(directory.empty() ? "." : directory.c_str(), sizeof full, full, nullptr);
  if (n == 0 || n >= sizeof full) return false;
  const DWORD attributes = GetFileAttributesA(full);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return false;
  }
  char longName[MAX_PATH * 2];
  n = GetLongPathNameA(full, longName, sizeof longName);
  folder->assign(n != 0 && n < sizeof longName ? longName : full);
  for (char& c : *folder) {
    if (c == '/') c = '\\';
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  while (folder->size() > 3 && folder->back() == '\\') folder->pop_back();
  return true;
}

// A named mutex rather than a lock on the folder's handle: Windows locks
// byte ranges of files only. A mutex whose holder ended without releasing it
// passes to the next waiter as abandoned, which still owns it. "Global\" so
// that the service's and the web server's sessions meet.
std::string mutexName(const std::string& folder) {
  std::uint64_t hash = 1469598103934665603ull;  // FNV-1a
  for (const unsigned char c : folder) hash = (hash ^ c) * 1099511628211ull;
  char name[64];
  std::snprintf(name, sizeof name, "Global\\orvik-folder-%016llx",
                static_cast<unsigned long long>(hash));
  return name;
}

class Win32DirectoryLock final : public DirectoryLock {
 public:
  explicit Win32DirectoryLock(HANDLE mutex) : mutex_(mutex) {}
  ~Win32DirectoryLock() override {
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }

 private:
  HANDLE mutex_;
};

// FlushFileBuffers needs write access; sharing everything lets the file be
// open elsewhere meanwhile.
class Win32FileSystem final : public FileSystem {
 public:
  bool syncFile(const std::string& path) override {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool flushed = FlushFileBuffers(file) != 0;
    return CloseHandle(file) != 0 && flushed;
  }

  // NTFS journals its directory entries: a rename is durable with its
  // metadata, so there is nothing a program can force.
  bool syncDirectory(const std::string&) override { return false; }

  std::unique_ptr<DirectoryLock> lockDirectory(const std::string& directory, int waitMs) override {
    std::string folder;
    if (!canonicalFolder(directory, &folder)) return nullptr;
    HANDLE mutex = CreateMutexA(nullptr, FALSE, mutexName(folder).c_str());
    if (mutex == nullptr) return nullptr;
    const DWORD waited = WaitForSingleObject(mutex, static_cast<DWORD>(waitMs < 0 ? 0 : waitMs));
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
      CloseHandle(mutex);
      return nullptr;
    }
    return std::make_unique<Win32DirectoryLock>(mutex);
  }
};

}  // namespace

FileSystem& win32FileSystem() {
  static Win32FileSystem files;
  return files;
}

}  // namespace orvik
