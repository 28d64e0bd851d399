// Programs started with CreateProcessA on the interactive desktop. Windows
// itself cuts the command line into the program and its arguments, by the
// rules command_line.h describes; no shell ever reads it. The child gets no
// handle of ours, the service's environment and current directory, and the
// system's default error mode (no error boxes inherited as suppressed).
#include <windows.h>

#include "platform/command_line.h"
#include "platform/win32_backends.h"

namespace orvik {
namespace {

class Win32Child final : public ChildProcess {
 public:
  Win32Child(HANDLE process, DWORD id) : process_(process), id_(id) {}
  ~Win32Child() override { CloseHandle(process_); }

  int32_t id() const override { return static_cast<int32_t>(id_); }
  bool ended() override { return WaitForSingleObject(process_, 0) == WAIT_OBJECT_0; }
  int exitCode() override {
    DWORD code = STILL_ACTIVE;
    if (!ended() || !GetExitCodeProcess(process_, &code)) return -1;
    return static_cast<int>(code);
  }

 private:
  HANDLE process_;
  DWORD id_;
};

class Win32ProcessStarter final : public ProcessStarter {
 public:
  std::unique_ptr<ChildProcess> startProcess(const char* commandLine, bool show) override {
    const std::vector<std::string> words = splitCommandLine(commandLine);
    if (words.empty() || words[0].empty()) return nullptr;
    std::string line = commandLine;  // CreateProcessA may write into it
    char desktop[] = "WinSta0\\Default";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.lpDesktop = desktop;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = show ? SW_SHOW : SW_HIDE;
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE,
                        nullptr, nullptr, &startup, &started)) {
      return nullptr;
    }
    CloseHandle(started.hThread);
    return std::make_unique<Win32Child>(started.hProcess, started.dwProcessId);
  }

  std::string programSuffix() const override { return ".exe"; }
};

}  // namespace

ProcessStarter& win32ProcessStarter() {
  static Win32ProcessStarter starter;
  return starter;
}

}  // namespace orvik
