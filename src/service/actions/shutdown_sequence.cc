#include "service/actions/shutdown_sequence.h"

#include <algorithm>
#include <limits>

#include "service/actions/run_program.h"
#include "service/actions/text.h"
#include "shared/control_datagram.h"
#include "shared/ignoring_case.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

constexpr unsigned kShutdownRequestedBit = 22;
constexpr uint32_t kSwitchOffCommand = 386;
constexpr uint32_t kRestoreTimeCommand = 387;
constexpr int kOccurrence = 1;
constexpr int kRecovery = 2;
constexpr char kLocalHost[] = "127.0.0.1";
constexpr char kCloserProgram[] = "winsweep";

}  // namespace

int64_t restartDelay(StatusRecord& record, ShutdownHooks& hooks, int64_t now) {
  int64_t least = kNoRestartTime;
  const auto consider = [&least](int64_t seconds) {
    if (seconds >= 0 && (least == kNoRestartTime || seconds < least)) least = seconds;
  };
  const int64_t powerOn = hooks.nextPowerOnTime(now);
  if (powerOn >= 0) consider(std::max<int64_t>(0, powerOn - now));
  consider(loadField(record.rebootWithDuration.value));
  consider(loadField(record.startupAfterDelay.value));
  return least;
}

ShutdownSequence::ShutdownSequence(StatusRecord& record, Clock& clock, DatagramSender& sender,
                                   ProcessStarter& processes, PowerControl& power,
                                   ShutdownHooks& hooks, std::string programDirectory)
    : record_(record),
      clock_(clock),
      sender_(sender),
      processes_(processes),
      power_(power),
      hooks_(hooks),
      programDirectory_(std::move(programDirectory)) {}

void ShutdownSequence::runAction(EventAction&, const ActionItem&) {
  hooks_.stopPolling();
  // Started before requested is cleared, so that shutdown mode has no gap
  // in which other events' actions could slip through.
  setFlagBit(record_.alarmFlags, kShutdownStartedBit, true);
  setFlagBit(record_.alarmFlags, kShutdownRequestedBit, false);
  hooks_.raiseEvent(kOccurrence, kShutdownStartedBit);
  notifyShutdownHosts();

  // A negative delay from the pages gives no grace, never an endless wait.
  const int64_t waitMs = int64_t{std::max<int16_t>(0, loadField(record_.systemDelay))} * 1000;
  if (loadField(record_.autoSave) != 0) {
    // Quoted, so that a program folder with blanks in its name still works.
    const std::string closer =
        "\"" + programDirectory_ + kCloserProgram + processes_.programSuffix() + "\"";
    runProgram(processes_, clock_, closer.c_str(), 1, waitMs);
  }

  std::array<bool, kOtherTaskCount> seenIdle{};
  const int64_t graceStart = clock_.monotonicMs();
  watchOtherTasks(seenIdle, graceStart, waitMs);
  // The whole grace is always given, however soon the tasks were idle.
  for (int64_t left; (left = graceStart + waitMs - clock_.monotonicMs()) > 0;) {
    clock_.sleepMs(std::min(left, kProgramPollMs));
  }

  setFlagBit(record_.alarmFlags, kShutdownStartedBit, false);
  hooks_.raiseEvent(kRecovery, kShutdownStartedBit);
  sendUpsCommands();

  clock_.sleepMs(kAfterUpsCommandsMs);
  watchOtherTasks(seenIdle, clock_.monotonicMs(), kLastIdleWaitMs);
  power_.powerOff();
}

void ShutdownSequence::notifyShutdownHosts() {
  sender_.sendDatagram(kLocalHost, kNotifyPort, kShutdownStartingCommand, 0, nullptr);
  const std::string depend = readText(record_.shutDepend);
  if (equalsIgnoringCase(depend, "broadcast")) {
    sender_.broadcastDatagram(kNotifyPort, kRemoteShutdownCommand, 0, nullptr);
    return;
  }
  Text hosts(depend);
  terminateList(hosts);
  Text host;
  while (takeToken(hosts, host, ';') == 0) {
    // "a;;b" and blank entries name nobody; resolving "" would not fail everywhere.
    if (host.length() == 0) continue;
    sender_.sendDatagram(host.chars(), kNotifyPort, kRemoteShutdownCommand, 0, nullptr);
  }
}

void ShutdownSequence::watchOtherTasks(std::array<bool, kOtherTaskCount>& seenIdle, int64_t startMs,
                                       int64_t waitMs) {
  for (;;) {
    bool all = true;
    for (int task = 0; task < kOtherTaskCount; ++task) {
      if (!seenIdle[task]) seenIdle[task] = hooks_.isTaskIdle(task);
      all = all && seenIdle[task];
    }
    if (all || clock_.monotonicMs() - startMs >= waitMs) return;
    clock_.sleepMs(kProgramPollMs);
  }
}

void ShutdownSequence::sendUpsCommands() {
  const int64_t restart = restartDelay(record_, hooks_, clock_.calendarSeconds());
  const int16_t upsDelay = loadField(record_.upsDelay);
  if (restart > 0) {
    // Counted from the moment the output goes off, upsDelay from now; at
    // least 1, so that a restart that falls within the delay still comes.
    const int64_t afterOff =
        std::clamp<int64_t>(restart - upsDelay, 1, std::numeric_limits<int32_t>::max());
    sender_.sendDatagram(kLocalHost, kControlPort, kRestoreTimeCommand,
                         static_cast<int32_t>(afterOff), nullptr);
  }
  sender_.sendDatagram(kLocalHost, kControlPort, kSwitchOffCommand, upsDelay, nullptr);
}

}  // namespace orvik
