// The contents the service gives the shared status record at start-up, before
// the saved settings are laid over it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "shared/status_record.h"

namespace orvik {

// What the start-up values take from the machine at the moment of start.
struct RecordFacts {
  std::string osName;
  int64_t calendarSeconds = 0;
  int64_t monotonicMs = 0;
  std::string hostName;
  std::string computerName;
};

RecordFacts gatherRecordFacts(Platform& platform);

// Zeroes the record and stores the start-up values of the identity,
// measurement, control, system, shutdown and log fields, then the run-time
// fields.
void applyStartupValues(StatusRecord& record, const RecordFacts& facts);

// The working copies, taken at start-up and again after every load of the
// settings: the clock in hundredths of a second, the computer and host names,
// and the two countdowns.
void applyRunTimeFields(StatusRecord& record, const RecordFacts& facts);

}  // namespace orvik
