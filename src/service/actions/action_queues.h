// The five delayed action queues: broadcast, mail, page, execute and
// shutdown. Each raised event is offered to all five with its own delay; an
// item is kept in due-time order and taken by its queue's worker once due,
// provided its condition still holds. The execute queue also carries the two
// timed steps of an outlet switch-off.
//
// Threads: any thread may enqueue (the monitor, worker 1 for repetitions,
// the shutdown worker, the window thread at stop, the control listener for
// outlets); each queue is taken from by its own worker only. A queue's list
// is guarded by its lock flag alone, taken by an atomic test-and-set:
// producers wait for it in 10 ms steps, a worker that finds it taken skips
// the cycle. The record's fields are read without locks, once each.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <list>

#include "platform/clock.h"
#include "shared/status_record.h"

namespace orvik {

struct ActionItem {
  int64_t dueMs = 0;  // on the clock's monotonic milliseconds
  // An event number; on the execute queue also an outlet step (below).
  int32_t eventNumber = 0;
};

// Outlet switch-off steps on the execute queue: notify the outlet's
// dependent hosts (1000 + outlet), then switch it off (2000 + outlet).
inline constexpr int32_t kOutletNoticeStep = 1000;
inline constexpr int32_t kOutletSwitchStep = 2000;

// A due item and the event's settings as they stand when it is taken.
struct DueAction {
  ActionItem item;
  EventAction* entry = nullptr;  // null for an outlet step
};

class ActionQueues {
 public:
  // In the order an event is offered to them.
  enum Queue : int { kBroadcast, kMail, kPage, kExecute, kShutdown, kCount };
  enum class Taken { kNothing, kAction, kOutletStep };

  // Empty queues. Both outlive the queues.
  ActionQueues(StatusRecord& record, Clock& clock);

  // Called with the queue's number after an item was added, so its worker
  // wakes from an idle pause. Set before any other thread uses the queues.
  void setWakeHandler(std::function<void(int queue)> wake) { wake_ = std::move(wake); }

  // Removes every item of the opposite event (whatever the enable fields
  // say), then adds {dueMs, eventNumber} after all items due no later, when
  // the queue's enable field of entry is set.
  void enqueueAction(int queue, EventAction& entry, int eventNumber, int64_t dueMs);

  // The first item when it is due and its event still holds; an item that
  // is due but no longer holds is discarded. While a shutdown has started
  // (bit 25), every item not of event 25 is removed first. False when the
  // queue is locked, empty or nothing is due.
  bool takeDueAction(int queue, DueAction* out);
  // The execute worker's take: as takeDueAction, except that a due outlet
  // step is handed out as such.
  Taken takeDueExecuteItem(DueAction* out);

  // Whether an action of the event may run now: its condition still stands
  // (occurrence) or is still gone (recovery); while shutdown is requested
  // or started (bits 22, 25) only events 22 and 25.
  bool actionAllowed(int eventNumber) const;

  // Not locked, no item and the worker not inside an action.
  bool queueIdle(int queue) const;
  // Set by the queue's worker around an action.
  std::atomic<int32_t>& inAction(int queue) { return queues_[queue].inAction; }

  // Queues the two steps of outlet's switch-off on the execute queue: the
  // notices now, the switch after the outlet's delay (a negative delay
  // counts as 0, so the notices always go first). Outlets outside 0 to 7
  // have no settings and are ignored.
  void scheduleOutletSwitchOff(int outlet);

 private:
  struct List {
    std::list<ActionItem> items;
    std::atomic<int32_t> count{0};
    std::atomic<int32_t> locked{0};
    std::atomic<int32_t> inAction{0};
  };

  void lock(List& list);
  static bool tryLock(List& list) { return list.locked.exchange(1) == 0; }
  static void unlock(List& list) { list.locked = 0; }
  static void insert(List& list, const ActionItem& item);
  Taken take(int queue, bool outletSteps, DueAction* out);
  void wake(int queue) {
    if (wake_) wake_(queue);
  }

  StatusRecord& record_;
  Clock& clock_;
  std::function<void(int queue)> wake_;
  std::array<List, kCount> queues_;
};

}  // namespace orvik
