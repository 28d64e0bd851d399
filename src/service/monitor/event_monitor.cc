#include "service/monitor/event_monitor.h"

#include <algorithm>

#include "shared/record_access.h"

namespace orvik {
namespace {

constexpr int kWatchedBits[] = {24, 0, 1, 2, 3, 4, 5, 7, 8, 13, 14, 17, 18, 19, 21, 22, 23};
constexpr int kInputBadBit = 5;
constexpr int kCommunicationLostBit = 19;
constexpr int kShutdownImminentBit = 22;
constexpr int kTestInProgressBit = 23;
constexpr int kPowerFailureBit = 1;

bool isSet(uint32_t flags, int bit) { return (flags >> bit & 1u) != 0; }

template <class T>
void addOne(T& field) {
  storeField(field, loadField(field) + 1);
}

// Stale readings must not stay on the pages once the UPS stops answering.
void zeroMeasurements(StatusRecord& r) {
  for (int16_t* field :
       {&r.batteryVoltage, &r.batteryTemperature, &r.inputFrequency[0], &r.inputVoltage[0],
        &r.outputFrequency, &r.outputVoltage[0], &r.outputPercentLoad[0]}) {
    storeField(*field, 0);
  }
}

}  // namespace

EventMonitor::EventMonitor(StatusRecord& record, Clock& clock, EventLog& log,
                           const MessageCatalogue& catalogue, EventSink& sink,
                           ScheduleRunner runSchedule)
    : record_(record),
      clock_(clock),
      log_(log),
      catalogue_(catalogue),
      sink_(sink),
      runSchedule_(std::move(runSchedule)) {}

void EventMonitor::monitorStep() {
  bookkeeping();
  const uint32_t flags = loadField(record_.alarmFlags);
  if (flags == previousFlags_) return;
  for (const int bit : kWatchedBits) {
    const bool now = isSet(flags, bit);
    if (now == isSet(previousFlags_, bit)) continue;
    if (now) {
      if (bit == kInputBadBit) addOne(record_.inputLineBads);
      raiseEvent(kOccurrence, bit);
      if (bit == kCommunicationLostBit) zeroMeasurements(record_);
    } else if (bit != static_cast<int>(kServiceRunningBit)) {
      if (bit == kTestInProgressBit) addOne(record_.testSpinLock);
      raiseEvent(kRecovery, bit);
    }
  }
  previousFlags_ = flags;
}

void EventMonitor::raiseEvent(EventKind kind, int bit) {
  const int eventNumber = kind == kOccurrence ? bit : bit + 100;
  EventAction* entry = eventActionForEvent(record_, eventNumber);
  if (entry == nullptr) return;
  if (loadField(entry->logEnable) != 0) {
    log_.appendEventLine(eventNumber, catalogue_.catalogueText(eventNumber).chars());
  }
  const int16_t* delays[kActionQueueCount] = {&entry->bnmDelay, &entry->mailDelay,
                                              &entry->pageDelay, &entry->executeDelay,
                                              &entry->shutDelay};
  for (int queue = 0; queue < kActionQueueCount; ++queue) {
    const int64_t dueMs = clock_.monotonicMs() + int64_t{loadField(*delays[queue])} * 1000;
    sink_.enqueueAction(static_cast<ActionQueueId>(queue), *entry, eventNumber, dueMs);
  }
}

void EventMonitor::bookkeeping() {
  const int64_t now = clock_.calendarSeconds();
  if (!tickStarted_) {
    tickStarted_ = true;
    lastTickTime_ = now;
  }
  // A clock set back pauses the time-based work until it has caught up.
  const int64_t elapsed = now - lastTickTime_;
  if (elapsed <= 0) return;

  const int64_t dataCountdown = loadField(record_.dataLogCountdown);
  if (dataCountdown > 0) {
    if (dataCountdown - elapsed < 1) {
      log_.appendDataLine(loadField(record_.inputVoltage[0]), loadField(record_.outputVoltage[0]),
                          loadField(record_.batteryVoltage), loadField(record_.inputFrequency[0]),
                          loadField(record_.outputFrequency),
                          loadField(record_.outputPercentLoad[0]),
                          loadField(record_.batteryTemperature), loadField(record_.alarmFlags));
      storeField(record_.dataLogCountdown, loadField(record_.DataInterval));
    } else {
      storeField(record_.dataLogCountdown, dataCountdown - elapsed);
    }
  }

  if (!isSet(loadField(record_.alarmFlags), kPowerFailureBit)) {
    storeField(record_.powerFailCountdown, loadField(record_.eventActionsEven[1].shutDelay));
  } else if (const int64_t left = loadField(record_.powerFailCountdown); left >= 1) {
    storeField(record_.powerFailCountdown, std::max<int64_t>(0, left - elapsed));
  }

  if (const int64_t delay = loadField(record_.shutdownAfterDelay.value); delay >= 0) {
    if (delay - elapsed > 0) {
      storeField(record_.shutdownAfterDelay.value, delay - elapsed);
    } else {
      storeField(record_.shutdownAfterDelay.value, -1);
      setFlagBit(record_.alarmFlags, kShutdownImminentBit, true);
    }
  }

  if (runSchedule_) runSchedule_(lastTickTime_, now);
  lastTickTime_ = now;
}

}  // namespace orvik
