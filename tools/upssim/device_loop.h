// The main loop every simulator runs: the pseudo-terminal a host opens as its
// serial port, the control socket, the log, and SIGINT or SIGTERM to stop.
// The device behind the line does no I/O itself; the loop hands it the bytes
// the host wrote and the time, and writes what it has due.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "sim_log.h"
#include "sim_options.h"

namespace orvik::upssim {

// A simulated device as the line sees it. Single-threaded: the loop's.
class LineDevice {
 public:
  virtual ~LineDevice() = default;

  virtual void receive(std::string_view bytes, int64_t nowMs) = 0;
  // Time passes.
  virtual void tick(int64_t nowMs) = 0;
  // When tick() or takeOutput() next has work, or -1.
  virtual int64_t nextDeadlineMs() const = 0;
  // The bytes due by nowMs, in order.
  virtual std::string takeOutput(int64_t nowMs) = 0;
  // One control command line; the answer line without a line end.
  virtual std::string control(std::string_view line, int64_t nowMs) = 0;
};

struct DeviceRun {
  const char* program = "";  // begins the error messages: "upssim: ..."
  // The start log line says "<what> on <device>".
  std::string what;
  // The control command a "--set NAME=VALUE" becomes: prefix "NAME VALUE".
  std::string setPrefix;
  // The longest wait between two ticks, however far the next deadline is.
  int longestWaitMs = 1000;
  // Called once the pseudo-terminal and the control socket are open; the
  // device may keep log.
  std::function<std::unique_ptr<LineDevice>(SimLog& log)> makeDevice;
};

// Runs the device until SIGINT or SIGTERM: 0, or 2 when the log, the
// pseudo-terminal, the control socket or a --set cannot be had (said on
// standard error). Prints the device path on standard output first.
int runDevice(const SimOptions& options, const DeviceRun& run);

// The "ctl" client: sends the command and prints the answer; 0 for "ok ...",
// 1 otherwise.
int runControlClient(const SimOptions& options);

}  // namespace orvik::upssim
