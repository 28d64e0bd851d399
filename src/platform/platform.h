// The operating system as the system logic sees it: one interface per
// concern. Only a program's main() builds the real set; tests build fakes.
#pragma once

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/message_loop.h"
#include "platform/messenger.h"
#include "platform/power_control.h"
#include "platform/processes.h"
#include "platform/serial_port.h"
#include "platform/shared_memory.h"
#include "platform/simple_mapi.h"
#include "platform/sockets.h"
#include "platform/system_info.h"
#include "platform/user_interface.h"

namespace orvik {

struct Platform {
  Clock* clock = nullptr;
  SharedMemory* sharedMemory = nullptr;
  SystemInfo* system = nullptr;
  UserInterface* ui = nullptr;
  MessageLoop* messages = nullptr;
  Sockets* sockets = nullptr;
  FileSystem* files = nullptr;
  SerialPorts* serial = nullptr;
  Messenger* messenger = nullptr;
  ProcessStarter* processes = nullptr;
  PowerControl* power = nullptr;
  SimpleMapi* mapi = nullptr;
};

}  // namespace orvik
