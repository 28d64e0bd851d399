// Test doubles for starting programs and for the machine's power: nothing
// runs; each start is recorded with the fake clock's time, and a program
// "runs" for as long as the test says, on that clock.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/power_control.h"
#include "platform/processes.h"

namespace orvik {

class FakeProcessStarter final : public ProcessStarter {
 public:
  static constexpr int64_t kCannotStart = -1;
  static constexpr int64_t kRunsForever = INT64_MAX;

  explicit FakeProcessStarter(Clock& clock) : clock_(clock) {}

  std::unique_ptr<ChildProcess> startProcess(const char* commandLine, bool show) override;
  std::string programSuffix() const override { return suffix; }

  struct Start {
    std::string commandLine;
    bool show = false;
    int64_t atMs = 0;  // on the clock's monotonic milliseconds
  };
  // Every attempt, started or not, in order.
  std::vector<Start> starts();

  // How long the program of a command line runs, in ms, or kCannotStart.
  // By default every program starts and ends at once. Set before use.
  std::function<int64_t(const std::string& commandLine)> runTimeMs;
  std::string suffix;

 private:
  Clock& clock_;
  std::mutex mutex_;
  std::vector<Start> starts_;
  int32_t nextId_ = 100;
};

class FakePowerControl final : public PowerControl {
 public:
  explicit FakePowerControl(Clock& clock) : clock_(clock) {}
  void powerOff() override;
  int stopService(const char* serviceName) override;

  // The clock's monotonic milliseconds at each power-off request.
  std::vector<int64_t> powerOffs();
  std::vector<std::string> stopRequests();
  int stopResult = 1;

 private:
  Clock& clock_;
  std::mutex mutex_;
  std::vector<int64_t> powerOffs_;
  std::vector<std::string> stops_;
};

}  // namespace orvik
