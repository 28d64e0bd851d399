// modemsim: a simulated Hayes modem on a pseudo-terminal. See
// modem_options.cc for the command line and behaviour; this file only wires
// the parts to one poll() loop.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "hayes_modem.h"
#include "modem_options.h"
#include "upssim/control_socket.h"
#include "upssim/pty_port.h"
#include "upssim/sim_log.h"

namespace {

using namespace orvik::modemsim;
using orvik::upssim::ControlServer;
using orvik::upssim::PtyPort;
using orvik::upssim::SimLog;

int stopPipe[2] = {-1, -1};

void onStopSignal(int) {
  char c = 1;
  ssize_t ignored = write(stopPipe[1], &c, 1);
  (void)ignored;
}

int64_t nowMs() { return SimLog::systemTime().monotonicMs; }

int runClient(const Options& o) {
  std::string answer;
  bool answered = orvik::upssim::sendControlCommand(o.clientSocket, o.clientCommand, &answer);
  std::fprintf(answered ? stdout : stderr, "%s\n", answer.c_str());
  return answered && answer.rfind("ok", 0) == 0 ? 0 : 1;
}

int runModem(const Options& o) {
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
    std::fprintf(stderr, "modemsim: %s\n", error.c_str());
    return 2;
  }
  ControlServer control;
  if (!o.controlPath.empty() && !control.listen(o.controlPath, &error)) {
    std::fprintf(stderr, "modemsim: %s\n", error.c_str());
    return 2;
  }

  HayesModem modem(log);
  for (const std::string& setting : o.settings) {
    std::string line = setting;
    line[line.find('=')] = ' ';
    std::string answer = modem.control(line);
    if (answer.rfind("ok", 0) != 0) {
      std::fprintf(stderr, "modemsim: --set %s: %s\n", setting.c_str(), answer.c_str());
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

  log.write("info", "modem on " + pty.devicePath() +
                        (o.linkPath.empty() ? "" : " (link " + o.linkPath + ")"));
  std::printf("%s\n", pty.devicePath().c_str());
  std::fflush(stdout);

  std::string pendingOut;
  int64_t masterQuietUntil = 0;
  for (;;) {
    int64_t now = nowMs();
    modem.tick(now);
    pendingOut += modem.takeOutput(now);
    if (!pendingOut.empty()) {
      // A host that leaves the line unread (the port closed between calls)
      // loses what the modem said, as with a real modem.
      long n = pty.write(pendingOut);
      pendingOut.erase(0, static_cast<size_t>(std::max(n, 0L)));
      if (pendingOut.size() > 65536) pendingOut.clear();
    }

    int64_t next = modem.nextDeadlineMs();
    int timeout = 1000;
    if (next >= 0) timeout = static_cast<int>(std::clamp<int64_t>(next - now, 0, 1000));
    if (!pendingOut.empty()) timeout = std::min(timeout, 10);

    std::vector<pollfd> fds;
    fds.push_back({stopPipe[0], POLLIN, 0});
    bool watchMaster = now >= masterQuietUntil;
    if (watchMaster) fds.push_back({pty.masterFd(), POLLIN, 0});
    for (int fd : control.descriptors()) fds.push_back({fd, POLLIN, 0});

    if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) {
      std::perror("poll");
      return 2;
    }
    if (fds[0].revents) break;
    now = nowMs();
    size_t first = 1;
    if (watchMaster) {
      first = 2;
      short events = fds[1].revents;
      if (events & POLLIN) {
        char buffer[512];
        long n = pty.read(buffer, sizeof buffer);
        if (n > 0) modem.receive(std::string_view(buffer, static_cast<size_t>(n)), now);
        if (n < 0) masterQuietUntil = now + 100;
      } else if (events & (POLLHUP | POLLERR)) {
        // Should not happen while we hold the terminal side open; never spin on it.
        masterQuietUntil = now + 100;
      }
    }
    for (size_t i = first; i < fds.size(); ++i) {
      if (fds[i].revents) {
        control.service(fds[i].fd, [&](const std::string& line) { return modem.control(line); });
      }
    }
  }
  log.write("info", "stopped");
  if (logFile) std::fclose(logFile);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  Options options;
  std::string error;
  if (!parseOptions(args, &options, &error)) {
    std::fprintf(stderr, "modemsim: %s (see modemsim --help)\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(helpText().c_str(), stdout);
    return 0;
  }
  return options.client ? runClient(options) : runModem(options);
}
