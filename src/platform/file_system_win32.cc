#include <windows.h>

#include "platform/win32_backends.h"

namespace orvik {
namespace {

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
};

}  // namespace

FileSystem& win32FileSystem() {
  static Win32FileSystem files;
  return files;
}

}  // namespace orvik
