// The machine itself: switching it off at the end of the shutdown sequence,
// and asking the service manager to stop this service.
//
// Threads: powerOff runs on the shutdown worker's thread, stopService on the
// main window's; neither keeps state between calls.
#pragma once

namespace orvik {

class PowerControl {
 public:
  virtual ~PowerControl() = default;
  // Asks the system to shut down now. Nothing is reported: when the request
  // fails, the machine simply keeps running.
  virtual void powerOff() = 0;
  // Asks the service manager to stop the named service; non-zero when the
  // request was accepted, 0 otherwise (the caller then closes the main
  // window itself). Returns without waiting for the stop.
  virtual int stopService(const char* serviceName) = 0;
};

}  // namespace orvik
