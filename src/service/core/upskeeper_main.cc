// upskeeper, the monitoring service. Its main thread plays the main window:
// start, run the tasks, and wait for a close message (from SIGTERM or SIGINT,
// or the control channel's stop command), which stops the service in order.
#include <cstdio>
#include <cstdlib>

#include "platform/platform_ini.h"
#include "platform/posix_backends.h"
#include "service/core/os_version.h"
#include "service/core/service.h"

int main() {
  using namespace orvik;
  Platform platform = posixPlatform();
  const std::string programPath = platform.system->programPath();
  const PlatformIni ini = PlatformIni::load(programDirectoryOf(programPath) + "platform.ini");
  setSharedMemoryGroup(ini.get("ShareGroup"));
  setLoginRecordsFile(ini.get("LoginRecords"));
  setPowerCommands(ini.get("PowerOffCommand"), ini.get("StopServiceCommand"));
  closeOnTerminationSignals(*platform.messages);

  static Service service(platform);
  if (service.serviceStart(programPath) == 0) return 1;
  service.startTasks();
  while (platform.messages->wait() != WindowMessage::kClose) {
  }
  if (!service.serviceStop()) {
    // A task outlived the stop's wait and may still use what the static
    // destructors would free: end without running them.
    std::fflush(nullptr);
    std::_Exit(0);
  }
  return 0;
}
