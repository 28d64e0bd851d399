// The POSIX implementations of the platform interfaces. Each lives for the
// whole process.
#pragma once

#include "platform/platform.h"

namespace orvik {

Clock& posixClock();
SharedMemory& posixSharedMemory();
SystemInfo& posixSystemInfo();
UserInterface& posixUserInterface();
MessageLoop& posixMessageLoop();

// All of the above.
Platform posixPlatform();

}  // namespace orvik
