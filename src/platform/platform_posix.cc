#include "platform/posix_backends.h"

namespace orvik {

Platform posixPlatform() {
  Platform platform;
  platform.clock = &posixClock();
  platform.sharedMemory = &posixSharedMemory();
  platform.system = &posixSystemInfo();
  platform.ui = &posixUserInterface();
  platform.messages = &posixMessageLoop();
  platform.sockets = &posixSockets();
  platform.files = &posixFileSystem();
  platform.serial = &posixSerialPorts();
  platform.messenger = &posixMessenger();
  platform.processes = &posixProcessStarter();
  platform.power = &posixPowerControl();
  platform.mapi = &posixSimpleMapi();
  return platform;
}

}  // namespace orvik
