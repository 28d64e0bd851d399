// Power-off and service stop as commands of the machine, started without a
// shell like any other program: by default "systemctl poweroff" and
// "systemctl stop --no-block NAME". The stop must not wait for the stop
// itself: the service's own main thread asks, and the manager's stop signal
// is handled by that same thread, so a waiting request would only end at
// the manager's time-out.
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "platform/posix_backends.h"

namespace orvik {
namespace {

constexpr char kDefaultPowerOffCommand[] = "systemctl poweroff";
constexpr char kDefaultStopCommand[] = "systemctl stop --no-block";
// How long the stop command gets to say whether the manager took the request.
constexpr auto kStopCommandWait = std::chrono::seconds(10);
constexpr auto kPollStep = std::chrono::milliseconds(10);

class CommandPowerControl final : public PowerControl {
 public:
  CommandPowerControl(ProcessStarter& starter, std::string powerOff, std::string stop)
      : starter_(starter), powerOff_(std::move(powerOff)), stop_(std::move(stop)) {}

  void powerOff() override {
    // Not waited for: the machine is going down, or the command has failed
    // and the service goes on either way.
    if (!starter_.startProcess(powerOff_.c_str(), false)) {
      std::fprintf(stderr, "Can not start the power-off command: %s\n", powerOff_.c_str());
    }
  }

  int stopService(const char* serviceName) override {
    const std::string command = stop_ + " \"" + (serviceName ? serviceName : "") + "\"";
    const std::unique_ptr<ChildProcess> child = starter_.startProcess(command.c_str(), false);
    if (!child) return 0;
    const auto deadline = std::chrono::steady_clock::now() + kStopCommandWait;
    while (!child->ended() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(kPollStep);
    }
    return child->ended() && child->exitCode() == 0 ? 1 : 0;
  }

 private:
  ProcessStarter& starter_;
  const std::string powerOff_;
  const std::string stop_;
};

// Set by main() from platform.ini, read at each use: the platform bundle
// may well be built before the file is read.
std::mutex commandsMutex;
std::string powerOffCommand = kDefaultPowerOffCommand;
std::string stopCommand = kDefaultStopCommand;

class ConfiguredPowerControl final : public PowerControl {
 public:
  void powerOff() override { current()->powerOff(); }
  int stopService(const char* serviceName) override { return current()->stopService(serviceName); }

 private:
  static std::unique_ptr<PowerControl> current() {
    std::lock_guard<std::mutex> lock(commandsMutex);
    return newCommandPowerControl(posixProcessStarter(), powerOffCommand, stopCommand);
  }
};

}  // namespace

void setPowerCommands(const std::string& powerOff, const std::string& stopService) {
  std::lock_guard<std::mutex> lock(commandsMutex);
  powerOffCommand = powerOff.empty() ? kDefaultPowerOffCommand : powerOff;
  stopCommand = stopService.empty() ? kDefaultStopCommand : stopService;
}

std::unique_ptr<PowerControl> newCommandPowerControl(ProcessStarter& starter,
                                                     const std::string& powerOff,
                                                     const std::string& stopService) {
  return std::make_unique<CommandPowerControl>(starter, powerOff, stopService);
}

PowerControl& posixPowerControl() {
  static ConfiguredPowerControl control;
  return control;
}

}  // namespace orvik
