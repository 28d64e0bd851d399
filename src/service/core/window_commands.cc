#include "service/core/window_commands.h"

#include "service/core/os_version.h"

namespace orvik {

void stopConfirmed(int osClass, PowerControl& power, const std::function<void()>& closeWindow) {
  if (osClass >= kNtFamily && power.stopService(kServiceName) != 0) return;
  closeWindow();
}

void startConsole(ProcessStarter& processes, const std::string& programDirectory) {
  const std::string command =
      "\"" + programDirectory + kConsoleProgram + processes.programSuffix() + "\"";
  processes.startProcess(command.c_str(), true);
}

bool sessionEndClosesService(int osClass) { return osClass < kNtFamily; }

}  // namespace orvik
