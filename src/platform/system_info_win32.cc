#include <winsock2.h>
#include <windows.h>

#include <cstdio>

#include "platform/win32_backends.h"

namespace orvik {
namespace {

class Win32SystemInfo final : public SystemInfo {
 public:
  // GetVersionEx is what tells the 9x family from NT; without a manifest
  // later systems report themselves as 6.2, which the classification takes
  // as "later NT" all the same.
  bool osVersion(OsVersion* out) override {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&info)) return false;
#pragma GCC diagnostic pop
    out->platform =
        info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? OsVersion::kConsumer : OsVersion::kNt;
    out->major = static_cast<int>(info.dwMajorVersion);
    out->minor = static_cast<int>(info.dwMinorVersion);
    return true;
  }

  std::string osName() override {
    OsVersion version;
    if (!osVersion(&version)) return "Windows";
    char name[64];
    std::snprintf(name, sizeof name, "Windows %s %d.%d",
                  version.platform == OsVersion::kNt ? "NT" : "9x", version.major, version.minor);
    return name;
  }

  // The sockets' own host name, as the notices and mail introduce the host;
  // the sockets backend has started Windows Sockets by then.
  std::string hostName() override {
    win32Sockets();
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return "";
    return name;
  }

  std::string computerName() override {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    return GetComputerNameA(name, &size) ? std::string(name, size) : std::string();
  }

  std::string programPath() override {
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(path, length) : std::string();
  }

  // Only the 9x kernel has it; elsewhere the lookup fails and nothing happens.
  void registerServiceProcess() override {
    HMODULE kernel = LoadLibraryA("KERNEL32.DLL");
    if (kernel == nullptr) return;
    using Register = DWORD(WINAPI*)(DWORD, DWORD);
    const auto function =
        reinterpret_cast<Register>(reinterpret_cast<void*>(GetProcAddress(kernel, "RegisterServiceProcess")));
    if (function != nullptr) function(GetCurrentProcessId(), 1);
    FreeLibrary(kernel);
  }
};

}  // namespace

SystemInfo& win32SystemInfo() {
  static Win32SystemInfo info;
  return info;
}

}  // namespace orvik
