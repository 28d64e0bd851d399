#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "platform/native_backends.h"
#include "platform/win32_backends.h"

namespace orvik {

Platform win32Platform() {
  Platform platform;
  platform.clock = &win32Clock();
  platform.sharedMemory = &win32SharedMemory();
  platform.system = &win32SystemInfo();
  platform.ui = &win32UserInterface();
  platform.messages = &win32MessageLoop();
  platform.sockets = &win32Sockets();
  platform.files = &win32FileSystem();
  platform.serial = &win32SerialPorts();
  platform.messenger = &win32Messenger();
  platform.processes = &win32ProcessStarter();
  platform.power = &win32PowerControl();
  platform.mapi = &win32SimpleMapi();
  return platform;
}

Platform nativePlatform() { return win32Platform(); }
Clock& nativeClock() { return win32Clock(); }
SharedMemory& nativeSharedMemory() { return win32SharedMemory(); }
Sockets& nativeSockets() { return win32Sockets(); }
SystemInfo& nativeSystemInfo() { return win32SystemInfo(); }
FileSystem& nativeFileSystem() { return win32FileSystem(); }

void useBinaryStandardStreams() {
  std::fflush(stdout);
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace orvik
