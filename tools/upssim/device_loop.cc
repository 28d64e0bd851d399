#include "device_loop.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "control_socket.h"
#include "pty_port.h"

namespace orvik::upssim {
namespace {

int stopPipe[2] = {-1, -1};

void onStopSignal(int) {
  char c = 1;
  ssize_t ignored = write(stopPipe[1], &c, 1);
  (void)ignored;
}

int64_t nowMs() { return SimLog::systemTime().monotonicMs; }

// The line buffer between the device and a host that reads slowly. A host
// that leaves the line unread (the port closed between calls) loses what the
// device said, as with real hardware.
void writeOut(PtyPort& pty, std::string& pending, SimLog& log) {
  if (pending.empty()) return;
  long n = pty.write(pending);
  pending.erase(0, static_cast<size_t>(std::max(n, 0L)));
  if (pending.size() > 65536) {
    log.write("info", "host not reading: " + std::to_string(pending.size()) + " bytes dropped");
    pending.clear();
  }
}

// Until the stop pipe is readable; false when poll() fails.
bool serve(LineDevice& device, PtyPort& pty, ControlServer& control, SimLog& log,
           int longestWaitMs) {
  std::string pendingOut;
  int64_t masterQuietUntil = 0;
  for (;;) {
    int64_t now = nowMs();
    device.tick(now);
    pendingOut += device.takeOutput(now);
    writeOut(pty, pendingOut, log);

    int64_t next = device.nextDeadlineMs();
    int timeout = longestWaitMs;
    if (next >= 0) timeout = static_cast<int>(std::clamp<int64_t>(next - now, 0, longestWaitMs));
    if (!pendingOut.empty()) timeout = std::min(timeout, 10);

    std::vector<pollfd> fds;
    fds.push_back({stopPipe[0], POLLIN, 0});
    bool watchMaster = now >= masterQuietUntil;
    if (watchMaster) fds.push_back({pty.masterFd(), POLLIN, 0});
    for (int fd : control.descriptors()) fds.push_back({fd, POLLIN, 0});

    if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) {
      std::perror("poll");
      return false;
    }
    if (fds[0].revents) return true;
    now = nowMs();
    size_t first = 1;
    if (watchMaster) {
      first = 2;
      short events = fds[1].revents;
      if (events & POLLIN) {
        char buffer[512];
        long n = pty.read(buffer, sizeof buffer);
        if (n > 0) device.receive(std::string_view(buffer, static_cast<size_t>(n)), now);
        if (n < 0) masterQuietUntil = now + 100;
      } else if (events & (POLLHUP | POLLERR)) {
        // Should not happen while we hold the terminal side open; never spin on it.
        masterQuietUntil = now + 100;
      }
    }
    for (size_t i = first; i < fds.size(); ++i) {
      if (fds[i].revents) {
        control.service(fds[i].fd,
                        [&](const std::string& line) { return device.control(line, nowMs()); });
      }
    }
  }
}

}  // namespace

int runControlClient(const SimOptions& o) {
  std::string answer;
  bool answered = sendControlCommand(o.clientSocket, o.clientCommand, &answer);
  std::fprintf(answered ? stdout : stderr, "%s\n", answer.c_str());
  return answered && answer.rfind("ok", 0) == 0 ? 0 : 1;
}

int runDevice(const SimOptions& o, const DeviceRun& run) {
  SimLog log;
  std::FILE* logFile = nullptr;
  if (!o.logPath.empty()) {
    logFile = std::fopen(o.logPath.c_str(), "a");
    if (!logFile) {
      std::perror(o.logPath.c_str());
      return 2;
    }
    log.addSink(logFile);
  }
  if (!o.quiet) log.addSink(stderr);

  PtyPort pty;
  std::string error;
  if (!pty.open(&error) || (!o.linkPath.empty() && !pty.makeLink(o.linkPath, &error))) {
    std::fprintf(stderr, "%s: %s\n", run.program, error.c_str());
    return 2;
  }
  ControlServer control;
  if (!o.controlPath.empty() && !control.listen(o.controlPath, &error)) {
    std::fprintf(stderr, "%s: %s\n", run.program, error.c_str());
    return 2;
  }

  std::unique_ptr<LineDevice> device = run.makeDevice(log);
  for (const std::string& setting : o.settings) {
    size_t eq = setting.find('=');
    std::string answer = device->control(
        run.setPrefix + setting.substr(0, eq) + " " + setting.substr(eq + 1), nowMs());
    if (answer.rfind("ok", 0) != 0) {
      std::fprintf(stderr, "%s: --set %s: %s\n", run.program, setting.c_str(), answer.c_str());
      return 2;
    }
  }

  if (pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    std::perror("pipe");
    return 2;
  }
  struct sigaction stop {};
  stop.sa_handler = onStopSignal;
  sigaction(SIGINT, &stop, nullptr);
  sigaction(SIGTERM, &stop, nullptr);
  signal(SIGPIPE, SIG_IGN);

  log.write("info", run.what + " on " + pty.devicePath() +
                        (o.linkPath.empty() ? "" : " (link " + o.linkPath + ")"));
  std::printf("%s\n", pty.devicePath().c_str());
  std::fflush(stdout);

  if (!serve(*device, pty, control, log, run.longestWaitMs)) return 2;
  log.write("info", "stopped");
  if (logFile) std::fclose(logFile);
  return 0;
}

}  // namespace orvik::upssim
