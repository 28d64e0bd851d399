#include "cli/control_commands.h"

#include <functional>
#include <string>

#include "shared/control_datagram.h"
#include "shared/datagram_sender.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

inline constexpr uint32_t kShutdownAfterDelayCommand = 386;
inline constexpr int32_t kCancelDelay = -1;
inline constexpr int32_t kQuickTest = 1;  // what the Control page asks for
inline constexpr int32_t kOutletOnBit = 0x10000;
inline constexpr int kShutdownPendingBit = 21;
inline constexpr int kShutdownImminentBit = 22;

// Looks at the record every 100 ms until done() or ms have passed.
bool waitFor(CliEnvironment& env, int ms, const std::function<bool()>& done) {
  const int64_t deadline = env.clock.monotonicMs() + ms;
  for (;;) {
    if (done()) return true;
    if (env.clock.monotonicMs() >= deadline) return false;
    env.clock.sleepMs(kRecordLookMs);
  }
}

bool flag(const StatusRecord& record, int bit) {
  return ((loadField(record.alarmFlags) >> bit) & 1) != 0;
}

int send(CliEnvironment& env, uint32_t command, int32_t argument) {
  DatagramSender sender(env.sockets,
                        [&env](const char* line) { env.err(std::string("orvik: ") + line); });
  if (sender.sendDatagram(nullptr, kControlPort, command, argument, nullptr) != 0) {
    env.err("orvik: the command could not be sent to the service\n");
    return kExitError;
  }
  return kExitOk;
}

// The service marks a test command it executes with its start time and
// the test-in-progress state; the count of completed tests moves when the
// UPS reports the end.
int selfTest(const StatusRecord& record, CliEnvironment& env) {
  const int32_t startedBefore = loadField(record.testStartTicks);
  const int16_t completedBefore = loadField(record.testSpinLock);
  if (const int status = send(env, kSelfTestCommand, kQuickTest)) return status;
  const bool taken = waitFor(env, kTestWaitMs, [&] {
    return loadField(record.testStartTicks) != startedBefore ||
           loadField(record.testSpinLock) != completedBefore;
  });
  if (!taken) {
    env.err("orvik: the service did not start the self-test within 5 s\n");
    return kExitError;
  }
  env.out("Self-test started; 'orvik status' shows its result once the UPS reports it.\n");
  return kExitOk;
}

int outlet(const CliOptions& options, const StatusRecord& record, CliEnvironment& env) {
  const int16_t reported = loadField(record.outletCount);
  const int count = reported < 0 ? 0 : reported > kOutletCount ? kOutletCount : reported;
  if (options.outlet > count) {
    env.err("orvik: outlet " + std::to_string(options.outlet) + ": the UPS reports " +
            std::to_string(count) +
            (count == 1 ? " switchable outlet\n" : " switchable outlets\n"));
    return kExitError;
  }
  const int index = options.outlet - 1;
  const Outlet& target = record.outlets[index];
  const std::string name = "Outlet " + std::to_string(options.outlet);
  if (!options.outletOn) {
    const int16_t delay = loadField(target.outletShutdownDelay);
    if (const int status = send(env, outletCommand, index)) return status;
    env.out(name + " switches off in " + std::to_string(delay < 0 ? 0 : delay) +
            " s; the hosts that depend on it are told now.\n");
    return kExitOk;
  }
  if (const int status = send(env, outletCommand, index + kOutletOnBit)) return status;
  if (waitFor(env, kOutletWaitMs, [&] { return loadField(target.outletState) == 1; })) {
    env.out(name + " is on.\n");
  } else {
    env.out(name + ": switch-on sent; the UPS has not reported the outlet on within 10 s.\n");
  }
  return kExitOk;
}

int shutdownCancel(const StatusRecord& record, CliEnvironment& env) {
  const bool pending = flag(record, kShutdownPendingBit) || flag(record, kShutdownImminentBit);
  if (const int status = send(env, kShutdownAfterDelayCommand, kCancelDelay)) return status;
  env.out("Cancel of the UPS switch-off sent.\n");
  if (pending) {
    const bool cleared = waitFor(env, kCancelWaitMs, [&] {
      return !flag(record, kShutdownPendingBit) && !flag(record, kShutdownImminentBit);
    });
    env.out(cleared ? "The UPS no longer reports a shutdown pending.\n"
                    : "The UPS still reports a shutdown pending after 5 s.\n");
  }
  const int16_t countdown = loadField(record.shutdownAfterDelay.value);
  if (countdown >= 0) {
    env.out("Note: the service's own UPS switch-off countdown (" + std::to_string(countdown) +
            " s) still runs; the Control UPS page sets it.\n");
  }
  if (flag(record, kShutdownStartedBit)) {
    env.out("Note: the service has begun shutting this computer down; that goes on.\n");
  }
  return kExitOk;
}

}  // namespace

int runControlCommand(const CliOptions& options, const LiveRecord& live, CliEnvironment& env) {
  switch (options.command) {
    case CliCommand::kTest:
      return selfTest(live.record(), env);
    case CliCommand::kOutlet:
      return outlet(options, live.record(), env);
    case CliCommand::kShutdownCancel:
      return shutdownCancel(live.record(), env);
    default:
      return kExitError;
  }
}

}  // namespace orvik
