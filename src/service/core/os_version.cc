#include "service/core/os_version.h"

namespace orvik {

int osVersionClass(SystemInfo& system) {
  OsVersion version;
  if (!system.osVersion(&version)) return 0;
  if (version.platform == OsVersion::kConsumer) {
    switch (version.minor) {
      case 0: return 1;
      case 10: return 2;
      case 90: return 3;
      default: return 1024;
    }
  }
  if (version.major == 3) return 256;
  if (version.major == 4 && version.minor == 0) return 512;
  if (version.major == 5 && version.minor == 0) return 768;
  return 1024;
}

std::string programDirectoryOf(const std::string& programFilePath) {
  auto cut = programFilePath.rfind('\\');
  if (cut == std::string::npos) cut = programFilePath.rfind('/');
  if (cut == std::string::npos) return "";
  return programFilePath.substr(0, cut + 1).substr(0, 259);
}

}  // namespace orvik
