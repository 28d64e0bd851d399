// Shutting Windows down and stopping a service through the service control
// manager. Neither waits: the shutdown ends every program anyway, and the
// stop reaches this very service's main window, whose thread is asking.
#include <windows.h>

#include "platform/win32_backends.h"

namespace orvik {
namespace {

class Win32PowerControl final : public PowerControl {
 public:
  // Without the privilege the request just fails and the machine runs on.
  void powerOff() override {
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
      TOKEN_PRIVILEGES privileges{};
      privileges.PrivilegeCount = 1;
      privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
      if (LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
      }
      CloseHandle(token);
    }
    ExitWindowsEx(EWX_SHUTDOWN | EWX_FORCE, 0);
  }

  int stopService(const char* serviceName) override {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (manager == nullptr) return 0;
    SC_HANDLE service = OpenServiceA(manager, serviceName ? serviceName : "", SERVICE_ALL_ACCESS);
    if (service == nullptr) {
      CloseServiceHandle(manager);
      return 0;
    }
    SERVICE_STATUS status{};
    const BOOL stopped = ControlService(service, SERVICE_CONTROL_STOP, &status);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return stopped ? 1 : 0;
  }
};

}  // namespace

PowerControl& win32PowerControl() {
  static Win32PowerControl control;
  return control;
}

}  // namespace orvik
