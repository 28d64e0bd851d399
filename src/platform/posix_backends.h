// The POSIX implementations of the platform interfaces. Each lives for the
// whole process.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/platform_ini.h"

namespace orvik {

Clock& posixClock();
SharedMemory& posixSharedMemory();
SystemInfo& posixSystemInfo();
UserInterface& posixUserInterface();
MessageLoop& posixMessageLoop();
Sockets& posixSockets();
// posixSockets().openTcp().
std::unique_ptr<TcpConnection> openPosixTcp(int* error);
FileSystem& posixFileSystem();
SerialPorts& posixSerialPorts();
// Notices on the terminals of this computer's login sessions, as named by
// the system's login records.
Messenger& posixMessenger();
// Programs started without a shell, reaped whenever they end.
ProcessStarter& posixProcessStarter();
// Power-off and service stop through the commands set below.
PowerControl& posixPowerControl();
// Has no Simple MAPI client: nothing loads.
SimpleMapi& posixSimpleMapi();

// All of the above.
Platform posixPlatform();

// Group that may read and write shared blocks besides their owner; empty
// keeps the creator's own group.
void setSharedMemoryGroup(const std::string& group);
// The file that maps port names onto devices ("COM1=/dev/ttyUSB0"), by
// default "platform.ini" beside the program; "" for none. It is read at every
// open, so an edited mapping takes effect when the port is opened again. For
// names it does not set, "COMn" is /dev/ttyS<n-1>.
void setSerialDeviceFile(const std::string& iniPath);
// The device path behind a port name: "" for a name that is not "COMn" with
// n from 1.
std::string serialDevicePath(const PlatformIni& ini, const std::string& name);
// The login-records file posixMessenger() reads instead of the system's;
// "" keeps the system's. Call before any other thread starts.
void setLoginRecordsFile(const std::string& path);
// The same, naming the sessions from a login-records file of the utmp
// format at loginRecordsPath (tests write their own).
std::unique_ptr<Messenger> newLoginTerminalMessenger(const std::string& loginRecordsPath);
// The commands behind posixPowerControl(), as platform.ini names them: the
// power-off command line ("" keeps "systemctl poweroff") and the stop command,
// to which the service's name is added as the last word ("" keeps
// "systemctl stop --no-block"). Takes effect at the next request.
void setPowerCommands(const std::string& powerOff, const std::string& stopService);
// A power control that runs the given command lines (neither may be empty)
// with starter.
std::unique_ptr<PowerControl> newCommandPowerControl(ProcessStarter& starter,
                                                     const std::string& powerOff,
                                                     const std::string& stopService);
// From now on SIGTERM and SIGINT post kClose to the message loop. Call before
// any other thread starts, so that every thread inherits the blocked signals.
void closeOnTerminationSignals(MessageLoop& loop);

}  // namespace orvik
