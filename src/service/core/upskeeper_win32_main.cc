// upskeeper on Windows: the main window owns the service from start to stop.
#include <cstdio>
#include <cstdlib>

#include "platform/platform_ini.h"
#include "platform/win32_backends.h"
#include "service/core/main_window.h"
#include "service/core/os_version.h"
#include "service/core/service.h"

int main() {
  using namespace orvik;
  Platform platform = win32Platform();
  const std::string programPath = platform.system->programPath();
  const PlatformIni ini = PlatformIni::load(programDirectoryOf(programPath) + "platform.ini");
  setSharedMemoryGroup(ini.get("ShareGroup"));
  // The control channel's stop command closes the window of this title.
  setMainWindowTitle(kServiceCaption);

  static Service service(platform);
  bool stopped = true;
  const int code = runMainWindow(service, platform, &stopped);
  if (!stopped) {
    // A task outlived the stop's wait and may still use what the static
    // destructors would free: end without running them.
    std::fflush(nullptr);
    std::_Exit(code);
  }
  return code;
}
