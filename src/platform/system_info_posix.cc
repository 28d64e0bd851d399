#include <limits.h>
#include <sys/utsname.h>
#include <unistd.h>

#include "platform/posix_backends.h"

namespace orvik {
namespace {

class PosixSystemInfo final : public SystemInfo {
 public:
  // Not Windows at all; the nearest answer is "a later NT-family version".
  bool osVersion(OsVersion* out) override {
    out->platform = OsVersion::kNt;
    out->major = 10;
    out->minor = 0;
    return true;
  }

  std::string osName() override {
    utsname names{};
    if (uname(&names) != 0) return "POSIX";
    return std::string(names.sysname) + " " + names.release;
  }

  std::string hostName() override {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0) return "";
    return name;
  }

  // The short name: the host name up to its first dot.
  std::string computerName() override {
    const std::string host = hostName();
    return host.substr(0, host.find('.'));
  }

  std::string programPath() override {
    char path[PATH_MAX] = {};
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
  }

  void registerServiceProcess() override {}
};

}  // namespace

SystemInfo& posixSystemInfo() {
  static PosixSystemInfo info;
  return info;
}

}  // namespace orvik
