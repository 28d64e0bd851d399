// The backends of the system a program is built for, whichever that is
// (posix_backends.h or win32_backends.h): for the programs and tests that
// need nothing but what every backend offers.
#pragma once

#include "platform/platform.h"

namespace orvik {

Platform nativePlatform();
Clock& nativeClock();
SharedMemory& nativeSharedMemory();
Sockets& nativeSockets();
SystemInfo& nativeSystemInfo();
FileSystem& nativeFileSystem();
// Makes standard input and output carry bytes unchanged: Windows would
// otherwise turn a CGI's "\r\n" into "\r\r\n" and end a posted body at its
// first Ctrl-Z. Nothing to do on POSIX.
void useBinaryStandardStreams();

}  // namespace orvik
