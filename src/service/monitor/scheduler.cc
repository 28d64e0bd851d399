#include "service/monitor/scheduler.h"

#include <algorithm>

#include "shared/control_datagram.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

constexpr int64_t kDaySeconds = 86400;
constexpr int64_t kWeekSeconds = 604800;
constexpr uint32_t kRestoreTimeCommand = 387;
constexpr int kShutdownImminentBit = 22;

// Action codes of an entry (word 0).
constexpr int kGeneralTest = 1;
constexpr int kDeepBatteryTest = 3;
constexpr int kTurnOnUps = 11;
constexpr int kTurnOffUps = 21;
constexpr int kOutletOnBase = 100;
constexpr int kOutletOffBase = 200;
constexpr int32_t kOutletOnFlag = 0x10000;

int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// One consistent copy: the pages may rewrite the entry while we compute.
ScheduleEntry snapshot(const ScheduleEntry& entry) {
  ScheduleEntry copy;
  copy.action = loadField(entry.action);
  copy.second = loadField(entry.second);
  copy.minute = loadField(entry.minute);
  copy.hour = loadField(entry.hour);
  copy.day = loadField(entry.day);
  copy.month = loadField(entry.month);
  copy.year = loadField(entry.year);
  copy.weekday = loadField(entry.weekday);
  copy.frequency = loadField(entry.frequency);
  return copy;
}

bool knownRepeat(int repeat) { return repeat >= kRepeatOnce && repeat <= kRepeatYearly; }

// Periods after the first time: the latest start not after now.
int64_t latestPeriodStart(int64_t t0, int64_t period, int64_t now) {
  return t0 + floorDiv(now - t0, period) * period;
}

}  // namespace

Scheduler::Scheduler(StatusRecord& record, Clock& clock, DatagramSender& sender)
    : record_(record), clock_(clock), sender_(sender) {}

int64_t Scheduler::localSeconds(const ScheduleEntry& entry, int year, int month, int isDst) {
  LocalTime local;
  local.year = year;
  local.month = month;
  local.day = entry.day;
  local.hour = entry.hour;
  local.minute = entry.minute;
  local.second = entry.second;
  // The flag of the current local time, not the entry's own: the daily and
  // weekly arithmetic from the first time then keeps the hour on the clock
  // across a change of summer time.
  local.isDst = isDst;
  int64_t seconds = 0;
  return clock_.fromLocalTime(local, &seconds) ? seconds : kNoDueTime;
}

int64_t Scheduler::latestDueTime(const ScheduleEntry& entry, int64_t now) {
  const ScheduleEntry e = snapshot(entry);
  if (!knownRepeat(e.frequency)) return kNoDueTime;
  LocalTime current;
  if (!clock_.toLocalTime(now, &current)) return kNoDueTime;
  const int64_t t0 = localSeconds(e, e.year, e.month, current.isDst);
  if (t0 == kNoDueTime || now <= t0) return t0;
  // This period's occurrence; when it is still ahead, the previous
  // period's, which a day beyond the month's end (31 April is 1 May) may
  // have pushed into this one, so that it still runs.
  int64_t ahead = kNoDueTime;
  int64_t before = kNoDueTime;
  switch (e.frequency) {
    case kRepeatOnce:
      return t0;
    case kRepeatDaily:
      return latestPeriodStart(t0, kDaySeconds, now);
    case kRepeatWeekly:
      return latestPeriodStart(t0, kWeekSeconds, now);
    case kRepeatMonthly:
      ahead = localSeconds(e, current.year, current.month, current.isDst);
      before = localSeconds(e, current.year, current.month - 1, current.isDst);
      break;
    default:  // yearly
      ahead = localSeconds(e, current.year, e.month, current.isDst);
      before = localSeconds(e, current.year - 1, e.month, current.isDst);
      break;
  }
  if (ahead == kNoDueTime) return before;
  if (ahead <= now || before == kNoDueTime) return ahead;
  return before;
}

int64_t Scheduler::nextDueTime(const ScheduleEntry& entry, int64_t now) {
  const ScheduleEntry e = snapshot(entry);
  if (!knownRepeat(e.frequency)) return kNoDueTime;
  LocalTime current;
  if (!clock_.toLocalTime(now, &current)) return kNoDueTime;
  const int64_t t0 = localSeconds(e, e.year, e.month, current.isDst);
  if (t0 == kNoDueTime || now <= t0) return t0;
  switch (e.frequency) {
    case kRepeatOnce:
      return kNoDueTime;
    case kRepeatDaily:
      return latestPeriodStart(t0, kDaySeconds, now) + kDaySeconds;
    case kRepeatWeekly:
      return latestPeriodStart(t0, kWeekSeconds, now) + kWeekSeconds;
    default:
      break;
  }
  // The first of the previous, this and the next period's occurrences that
  // is not before now (the previous one when pushed into this period).
  for (int offset = -1; offset <= 1; ++offset) {
    const int64_t due = e.frequency == kRepeatMonthly
                            ? localSeconds(e, current.year, current.month + offset, current.isDst)
                            : localSeconds(e, current.year + offset, e.month, current.isDst);
    if (due != kNoDueTime && due >= now) return due;
  }
  return kNoDueTime;
}

int64_t Scheduler::nextPowerOnTime(int64_t now) {
  const int count = std::min<int>(loadField(record_.scheduleCount), kScheduleCapacity);
  int64_t earliest = kNoDueTime;
  for (int i = 0; i < count; ++i) {
    const ScheduleEntry e = snapshot(record_.schedule[i]);
    if (e.action != kTurnOnUps) continue;
    const int64_t due = nextDueTime(e, now);
    if (due != kNoDueTime && (earliest == kNoDueTime || due < earliest)) earliest = due;
  }
  return earliest;
}

void Scheduler::runDueEntries(int64_t lastTickTime, int64_t now) {
  const int16_t count = loadField(record_.scheduleCount);
  const int limit = std::clamp<int>(count, 0, kScheduleCapacity);
  for (int i = 0; i < limit; ++i) {
    const ScheduleEntry e = snapshot(record_.schedule[i]);
    const int64_t due = latestDueTime(e, now);
    // A table rewritten meanwhile may have moved entries; try again next pass.
    if (loadField(record_.scheduleCount) != count) return;
    if (due != kNoDueTime && lastTickTime < due && due <= now) runAction(e.action);
  }
}

void Scheduler::runAction(int action) {
  // A failed send is not retried: the next occurrence is the next chance.
  if (action >= kGeneralTest && action <= kDeepBatteryTest) {
    sender_.sendDatagram(nullptr, kControlPort, kSelfTestCommand, action, nullptr);
  } else if (action == kTurnOnUps) {
    sender_.sendDatagram(nullptr, kControlPort, kRestoreTimeCommand, 0, nullptr);
  } else if (action == kTurnOffUps) {
    setFlagBit(record_.alarmFlags, kShutdownImminentBit, true);
  } else if (action >= kOutletOnBase && action < kOutletOnBase + kOutletCount) {
    sender_.sendDatagram(nullptr, kControlPort, outletCommand,
                         kOutletOnFlag + (action - kOutletOnBase), nullptr);
  } else if (action >= kOutletOffBase && action < kOutletOffBase + kOutletCount) {
    sender_.sendDatagram(nullptr, kControlPort, outletCommand, action - kOutletOffBase, nullptr);
  }
}

}  // namespace orvik
