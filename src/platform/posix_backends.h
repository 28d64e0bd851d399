// The POSIX implementations of the platform interfaces. Each lives for the
// whole process.
#pragma once

#include <string>

#include "platform/platform.h"

namespace orvik {

Clock& posixClock();
SharedMemory& posixSharedMemory();
SystemInfo& posixSystemInfo();
UserInterface& posixUserInterface();
MessageLoop& posixMessageLoop();
Sockets& posixSockets();
FileSystem& posixFileSystem();

// All of the above.
Platform posixPlatform();

// Group that may read and write shared blocks besides their owner; empty
// keeps the creator's own group.
void setSharedMemoryGroup(const std::string& group);
// From now on SIGTERM and SIGINT post kClose to the message loop. Call before
// any other thread starts, so that every thread inherits the blocked signals.
void closeOnTerminationSignals(MessageLoop& loop);

}  // namespace orvik
