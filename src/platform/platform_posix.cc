#include "platform/posix_backends.h"

namespace orvik {

Platform posixPlatform() {
  Platform platform;
  platform.clock = &posixClock();
  platform.sharedMemory = &posixSharedMemory();
  platform.system = &posixSystemInfo();
  platform.ui = &posixUserInterface();
  platform.messages = &posixMessageLoop();
  platform.serial = &posixSerialPorts();
  platform.files = &posixFileSystem();
  return platform;
}

}  // namespace orvik
