#include "platform/native_backends.h"
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

Platform nativePlatform() { return posixPlatform(); }
Clock& nativeClock() { return posixClock(); }
SharedMemory& nativeSharedMemory() { return posixSharedMemory(); }
Sockets& nativeSockets() { return posixSockets(); }
SystemInfo& nativeSystemInfo() { return posixSystemInfo(); }
FileSystem& nativeFileSystem() { return posixFileSystem(); }
void useBinaryStandardStreams() {}

}  // namespace orvik
