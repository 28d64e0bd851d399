// Event detection and the once-a-second bookkeeping: the step of the monitor
// task. Every change of a watched bit of alarmFlags becomes a numbered event
// (bit n set: event n; cleared: event 100 + n), which is logged when its
// entry asks for it and offered to the five action queues. At most once per
// elapsed calendar second the step also counts down the data log interval,
// the power-failure countdown and the UPS shutdown-after-delay, and lets the
// schedule run.
//
// Threads: monitorStep() runs on the monitor task's thread only. raiseEvent()
// may also be called from the window thread (service stop) and the shutdown
// worker; it touches the record with single-field atomic accesses and the
// logs under their locks.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/clock.h"
#include "service/actions/message_catalogue.h"
#include "service/monitor/event_log.h"
#include "shared/status_record.h"

namespace orvik {

// The five action queues, in the order an event is offered to them.
enum ActionQueueId { kBroadcastQueue, kMailQueue, kPageQueue, kExecuteQueue, kShutdownQueue };
inline constexpr int kActionQueueCount = 5;

// Where raised events go: the action queues. Called from whichever thread
// raised the event.
class EventSink {
 public:
  virtual ~EventSink() = default;
  // Offers event eventNumber, configured by entry, to one queue; the action
  // may run from dueMs on the clock's monotonic milliseconds.
  virtual void enqueueAction(ActionQueueId queue, EventAction& entry, int eventNumber,
                             int64_t dueMs) = 0;
};

enum EventKind { kOccurrence = 1, kRecovery = 2 };

class EventMonitor {
 public:
  // Runs the schedule entries due in (lastTickTime, now], calendar seconds.
  using ScheduleRunner = std::function<void(int64_t lastTickTime, int64_t now)>;

  // Everything passed in outlives the monitor.
  EventMonitor(StatusRecord& record, Clock& clock, EventLog& log, const MessageCatalogue& catalogue,
               EventSink& sink, ScheduleRunner runSchedule);

  // One pass: the bookkeeping, then the events of the bits that changed
  // since the last pass, in the fixed order 24, 0, 1, 2, 3, 4, 5, 7, 8, 13,
  // 14, 17, 18, 19, 21, 22, 23 (bit 24 only when it is set).
  void monitorStep();
  // Event bit (kind occurrence) or 100 + bit (kind recovery): a log line
  // with the event's catalogue text when its logEnable is set, then one
  // offer to each action queue with the entry's delay. Bits 0 to 27 only.
  void raiseEvent(EventKind kind, int bit);

 private:
  void bookkeeping();

  StatusRecord& record_;
  Clock& clock_;
  EventLog& log_;
  const MessageCatalogue& catalogue_;
  EventSink& sink_;
  ScheduleRunner runSchedule_;
  uint32_t previousFlags_ = 0;
  bool tickStarted_ = false;
  int64_t lastTickTime_ = 0;
};

}  // namespace orvik
