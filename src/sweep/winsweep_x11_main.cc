// winsweep on Linux: one sweep over the X display of the logged-in user,
// then exit code 0, whatever happened. Takes no arguments.
#include <linux/limits.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>

#include "sweep/display_posix.h"
#include "sweep/sweep.h"
#include "sweep/window_backends.h"

namespace {

std::string programDirectory() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  std::string exe(path, n);
  return exe.substr(0, exe.rfind('/'));
}

}  // namespace

int main() {
  // A server that goes away must end the sweep through its exit code 0,
  // not through a signal on the next write.
  std::signal(SIGPIPE, SIG_IGN);
  winsweep::DisplayChoice choice =
      winsweep::findDisplay(std::getenv("DISPLAY"), programDirectory(), "/proc");
  if (choice.display.empty()) return 0;
  if (!choice.xauthority.empty()) setenv("XAUTHORITY", choice.xauthority.c_str(), 1);
  auto windows = winsweep::openX11WindowSystem(choice.display.c_str());
  if (!windows) return 0;
  windows->wait(10);  // as the Windows program, which sweeps on a 10 ms timer
  winsweep::runSweep(*windows);
  return 0;
}
