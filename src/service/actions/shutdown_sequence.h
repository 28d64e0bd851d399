// The action of the shutdown queue: the orderly shutdown of this computer.
// Polling stops, the service enters shutdown mode (bit 25: only events 22
// and 25 keep their actions) and raises event 25, tells 127.0.0.1 and the
// dependent hosts, lets the application closer run, gives the other tasks
// systemDelay seconds, leaves shutdown mode with event 125, tells the UPS
// through the service's own control port when to come back on (387) and
// when to switch off (386), and finally asks the machine to power off.
// Nothing it waits for can hold it: every wait has its bound.
//
// Threads: runs on the shutdown worker's thread, which is why it waits for
// the six other tasks only. Settings are read from the record at the moment
// of use; alarmFlags bits are set and cleared one at a time, atomically.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/clock.h"
#include "platform/power_control.h"
#include "platform/processes.h"
#include "service/actions/action_workers.h"
#include "shared/datagram_sender.h"
#include "shared/status_record.h"

namespace orvik {

// Sent to port 8830 of 127.0.0.1 when a shutdown starts.
inline constexpr uint32_t kShutdownStartingCommand = 35120;
// The tasks besides the shutdown worker, in the order they are asked:
// poll task, monitor, workers 1 to 4.
inline constexpr int kOtherTaskCount = 6;
// The pause between the UPS commands and the last look at the tasks.
inline constexpr int64_t kAfterUpsCommandsMs = 5000;
inline constexpr int64_t kLastIdleWaitMs = 5000;
inline constexpr int32_t kNoRestartTime = -1;

// What the sequence needs of the rest of the service, which this library
// cannot see. Called on the shutdown worker's thread.
class ShutdownHooks {
 public:
  virtual ~ShutdownHooks() = default;
  // Ends the poll cycle's status queries for good; UPS commands queued
  // afterwards still go out.
  virtual void stopPolling() = 0;
  // The monitor's raiseEvent: kind 1 occurrence (event bit), 2 recovery
  // (event 100 + bit).
  virtual void raiseEvent(int kind, int bit) = 0;
  // Whether other task `task` (0 to kOtherTaskCount - 1) is idle now.
  virtual bool isTaskIdle(int task) = 0;
  // Calendar seconds of the next "Turn on ups" entry of the schedule from
  // now on, or -1 when there is none.
  virtual int64_t nextPowerOnTime(int64_t now) = 0;
};

// Seconds from now until the UPS should give power again: the least of the
// next "Turn on ups" entry, rebootWithDuration and startupAfterDelay, each
// taken only when known (not negative); kNoRestartTime when none is.
int64_t restartDelay(StatusRecord& record, ShutdownHooks& hooks, int64_t now);

class ShutdownSequence final : public QueueAction {
 public:
  // programDirectory ends with its separator. Everything outlives the action.
  ShutdownSequence(StatusRecord& record, Clock& clock, DatagramSender& sender,
                   ProcessStarter& processes, PowerControl& power, ShutdownHooks& hooks,
                   std::string programDirectory);

  // The whole sequence; the entry and the item do not change it.
  void runAction(EventAction& entry, const ActionItem& item) override;

 private:
  void notifyShutdownHosts();
  // Looks every 10 ms at the tasks not yet seen idle until all were seen or
  // waitMs has passed since startMs.
  void watchOtherTasks(std::array<bool, kOtherTaskCount>& seenIdle, int64_t startMs,
                       int64_t waitMs);
  void sendUpsCommands();

  StatusRecord& record_;
  Clock& clock_;
  DatagramSender& sender_;
  ProcessStarter& processes_;
  PowerControl& power_;
  ShutdownHooks& hooks_;
  const std::string programDirectory_;
};

}  // namespace orvik
