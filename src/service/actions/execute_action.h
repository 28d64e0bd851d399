// The action of the execute queue: starts the event's configured command.
// For event 25 ("Shutdown started") the worker waits up to systemDelay
// seconds for the command to end, so that it has run before the machine
// goes down; for every other event it does not wait. A command that cannot
// be started is ignored.
//
// Threads: runs on the execute worker's thread. The event's settings are
// read once each, since the pages may change them meanwhile.
#pragma once

#include "platform/clock.h"
#include "platform/processes.h"
#include "service/actions/action_workers.h"
#include "shared/status_record.h"

namespace orvik {

inline constexpr int kShutdownStartedEvent = 25;

class ExecuteAction final : public QueueAction {
 public:
  // Everything outlives the action.
  ExecuteAction(StatusRecord& record, Clock& clock, ProcessStarter& processes)
      : record_(record), clock_(clock), processes_(processes) {}

  void runAction(EventAction& entry, const ActionItem& item) override;

 private:
  StatusRecord& record_;
  Clock& clock_;
  ProcessStarter& processes_;
};

}  // namespace orvik
