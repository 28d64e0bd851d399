// The Win32 implementations of the platform interfaces. Each lives for the
// whole process. Only the Windows programs' main() functions include this.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace orvik {

Clock& win32Clock();
// Named file mappings, their owner lock a named event beside them.
SharedMemory& win32SharedMemory();
SystemInfo& win32SystemInfo();
UserInterface& win32UserInterface();
// kClose goes to the top-level window titled by setMainWindowTitle as
// WM_CLOSE; other messages, and kClose while there is no such window, wait
// for wait().
MessageLoop& win32MessageLoop();
// Windows Sockets 2.2, started with the first use and ended with the process.
Sockets& win32Sockets();
std::unique_ptr<TcpConnection> openWin32Tcp(int* error);
FileSystem& win32FileSystem();
// "COMn" opens the device "\\.\COMn".
SerialPorts& win32SerialPorts();
// The Messenger service's mailslot "\\target\mailslot\messngr".
Messenger& win32Messenger();
// CreateProcessA on the interactive desktop "WinSta0\Default".
ProcessStarter& win32ProcessStarter();
// ExitWindowsEx with the shutdown privilege; the service control manager's stop.
PowerControl& win32PowerControl();
// MAPI32.DLL, loaded for each message.
SimpleMapi& win32SimpleMapi();

// All of the above.
Platform win32Platform();

// The account or group that may read and write shared blocks besides the
// creating process's own account; empty gives the creating process's primary
// group, as a POSIX block keeps its creator's group. Resolved at each create.
void setSharedMemoryGroup(const std::string& account);
// The window title that kClose is posted to.
void setMainWindowTitle(const std::string& title);

}  // namespace orvik
