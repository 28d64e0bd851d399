// The schedule table of the status record: when each entry falls due, and
// what running it does. Every UPS command goes out as a control datagram to
// the service itself, so a scheduled test or outlet switch takes the same
// road as the same request from the management pages.
//
// Keeps no state: whether an entry has run follows from the monitor's last
// bookkeeping time. Threads: runDueEntries runs on the monitor task's thread,
// nextPowerOnTime on the shutdown worker's; the pages may rewrite the table
// at any moment, so each entry is read word by word and any word values are
// taken (an entry that makes no sense is skipped, never trusted).
#pragma once

#include <cstdint>

#include "platform/clock.h"
#include "shared/datagram_sender.h"
#include "shared/status_record.h"

namespace orvik {

// Repeat kinds (word 8 of an entry).
enum ScheduleRepeat { kRepeatOnce = 1, kRepeatDaily, kRepeatWeekly, kRepeatMonthly, kRepeatYearly };
inline constexpr int64_t kNoDueTime = -1;

class Scheduler {
 public:
  // Everything passed in outlives the scheduler.
  Scheduler(StatusRecord& record, Clock& clock, DatagramSender& sender);

  // Calendar seconds of the entry's occurrence for the current period, the
  // latest one not after now where the period's own may still lie ahead;
  // the first time itself while that is still to come. kNoDueTime for an
  // unknown repeat kind or a time that cannot be converted.
  int64_t latestDueTime(const ScheduleEntry& entry, int64_t now);
  // Calendar seconds of the entry's first occurrence from now on, or
  // kNoDueTime when there is none (a "once" entry that has passed).
  int64_t nextDueTime(const ScheduleEntry& entry, int64_t now);
  // The earliest nextDueTime of the "Turn on ups" entries, or kNoDueTime.
  int64_t nextPowerOnTime(int64_t now);

  // The bookkeeping's schedule step: runs, in table order, every entry whose
  // latest due time lies in (lastTickTime, now]. Stops for this pass when
  // the pages change scheduleCount meanwhile.
  void runDueEntries(int64_t lastTickTime, int64_t now);

 private:
  // The entry's day and time of day in the given month of the given year
  // (both may be out of range), as local time with the given summer-time
  // flag.
  int64_t localSeconds(const ScheduleEntry& entry, int year, int month, int isDst);
  void runAction(int action);

  StatusRecord& record_;
  Clock& clock_;
  DatagramSender& sender_;
};

}  // namespace orvik
