#include "service/actions/action_queues.h"

#include <algorithm>
#include <new>

#include "shared/record_access.h"

namespace orvik {
namespace {

constexpr int64_t kLockRetryMs = 10;
constexpr int kShutdownImminentBit = 22;
constexpr int kShutdownStartedEvent = static_cast<int>(kShutdownStartedBit);

bool isSet(uint32_t flags, int bit) { return (flags >> bit & 1u) != 0; }

int oppositeEvent(int eventNumber) {
  return eventNumber < 100 ? eventNumber + 100 : eventNumber - 100;
}

int32_t enableField(const EventAction& entry, int queue) {
  switch (queue) {
    case ActionQueues::kBroadcast:
      return loadField(entry.bnmEnable);
    case ActionQueues::kMail:
      return loadField(entry.mailEnable);
    case ActionQueues::kPage:
      return loadField(entry.pageEnable);
    case ActionQueues::kExecute:
      return loadField(entry.executeEnable);
    default:
      return loadField(entry.shutEnable);
  }
}

bool validQueue(int queue) { return queue >= 0 && queue < ActionQueues::kCount; }

}  // namespace

ActionQueues::ActionQueues(StatusRecord& record, Clock& clock) : record_(record), clock_(clock) {}

void ActionQueues::lock(List& list) {
  while (!tryLock(list)) clock_.sleepMs(kLockRetryMs);
}

void ActionQueues::insert(List& list, const ActionItem& item) {
  const auto later =
      std::find_if(list.items.begin(), list.items.end(),
                   [&](const ActionItem& queued) { return queued.dueMs > item.dueMs; });
  // An item that cannot be allocated is simply not queued.
  try {
    list.items.insert(later, item);
  } catch (const std::bad_alloc&) {
  }
  list.count = static_cast<int32_t>(list.items.size());
}

void ActionQueues::enqueueAction(int queue, EventAction& entry, int eventNumber, int64_t dueMs) {
  if (!validQueue(queue)) return;
  List& list = queues_[queue];
  const int opposite = oppositeEvent(eventNumber);
  const bool enabled = enableField(entry, queue) != 0;
  lock(list);
  list.items.remove_if([&](const ActionItem& item) { return item.eventNumber == opposite; });
  list.count = static_cast<int32_t>(list.items.size());
  if (enabled) insert(list, {dueMs, eventNumber});
  unlock(list);
  if (enabled) wake(queue);
}

bool ActionQueues::actionAllowed(int eventNumber) const {
  const uint32_t flags = loadField(record_.alarmFlags);
  if (isSet(flags, kShutdownImminentBit) || isSet(flags, kShutdownStartedEvent)) {
    return eventNumber == kShutdownImminentBit || eventNumber == kShutdownStartedEvent;
  }
  if (eventNumber >= 0 && eventNumber < kEventBits) return isSet(flags, eventNumber);
  if (eventNumber >= 100 && eventNumber < 100 + kEventBits) return !isSet(flags, eventNumber - 100);
  return false;
}

ActionQueues::Taken ActionQueues::take(int queue, bool outletSteps, DueAction* out) {
  List& list = queues_[queue];
  if (list.count == 0 || !tryLock(list)) return Taken::kNothing;
  if (isSet(loadField(record_.alarmFlags), kShutdownStartedEvent)) {
    list.items.remove_if(
        [](const ActionItem& item) { return item.eventNumber != kShutdownStartedEvent; });
    list.count = static_cast<int32_t>(list.items.size());
  }
  if (list.items.empty() || list.items.front().dueMs > clock_.monotonicMs()) {
    unlock(list);
    return Taken::kNothing;
  }
  const ActionItem item = list.items.front();
  list.items.pop_front();
  list.count = static_cast<int32_t>(list.items.size());
  unlock(list);

  if (outletSteps && item.eventNumber >= kOutletNoticeStep) {
    *out = {item, nullptr};
    return Taken::kOutletStep;
  }
  EventAction* entry = eventActionForEvent(record_, item.eventNumber);
  if (entry == nullptr || !actionAllowed(item.eventNumber)) return Taken::kNothing;
  *out = {item, entry};
  return Taken::kAction;
}

bool ActionQueues::takeDueAction(int queue, DueAction* out) {
  return validQueue(queue) && take(queue, false, out) == Taken::kAction;
}

ActionQueues::Taken ActionQueues::takeDueExecuteItem(DueAction* out) {
  return take(kExecute, true, out);
}

bool ActionQueues::queueIdle(int queue) const {
  if (!validQueue(queue)) return true;
  const List& list = queues_[queue];
  return list.locked == 0 && list.count == 0 && list.inAction == 0;
}

void ActionQueues::scheduleOutletSwitchOff(int outlet) {
  if (outlet < 0 || outlet >= kOutletCount) return;
  const int64_t delayMs =
      std::max<int64_t>(0, loadField(record_.outlets[outlet].outletShutdownDelay)) * 1000;
  List& list = queues_[kExecute];
  lock(list);
  const int64_t now = clock_.monotonicMs();
  insert(list, {now, kOutletNoticeStep + outlet});
  insert(list, {now + delayMs, kOutletSwitchStep + outlet});
  unlock(list);
  wake(kExecute);
}

}  // namespace orvik
