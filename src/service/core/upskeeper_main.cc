// upskeeper, the monitoring service. Its main thread plays the main window:
// start, run the tasks, and wait for a close message (from SIGTERM or SIGINT,
// or the control channel's stop command), which stops the service in order.
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
  closeOnTerminationSignals(*platform.messages);

  static Service service(platform);
  if (service.serviceStart(programPath) == 0) return 1;
  service.startTasks();
  while (platform.messages->wait() != WindowMessage::kClose) {
  }
  service.serviceStop();
  return 0;
}
