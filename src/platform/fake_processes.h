// Test doubles for starting programs and for the machine's power: nothing
// runs. Starts and power-offs are recorded, and a program "runs" for as long
// as the test says, on the given clock.
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
  std::string programSuffix() const override { return ""; }
  // Every attempt, started or not, in order: the command line and the show flag.
  std::vector<std::pair<std::string, bool>> starts();

  // How long a command line's program runs, in ms, or kCannotStart; by
  // default it ends at once. Set before use.
  std::function<int64_t(const std::string& commandLine)> runTimeMs;

 private:
  Clock& clock_;
  std::mutex mutex_;
  std::vector<std::pair<std::string, bool>> starts_;
};

class FakePowerControl final : public PowerControl {
 public:
  explicit FakePowerControl(Clock& clock) : clock_(clock) {}
  void powerOff() override;
  int stopService(const char*) override { return 1; }
  // The clock's monotonic milliseconds at each power-off request.
  std::vector<int64_t> powerOffs();

 private:
  Clock& clock_;
  std::mutex mutex_;
  std::vector<int64_t> powerOffs_;
};

}  // namespace orvik
