// The contents the service gives the shared status record at start-up, and
// the start-up sequence that lays the saved settings over them. Runs on the
// window thread before any task starts.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "service/actions/message_catalogue.h"
#include "service/monitor/event_log.h"
#include "service/monitor/settings_file.h"
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
// measurement, control, system and shutdown fields, the event texts and
// event defaults, the log fields, then the run-time fields.
void applyStartupValues(StatusRecord& record, const RecordFacts& facts,
                        const MessageCatalogue& catalogue, int16_t powerFailShutDelay);

// The UPS's part of the start-up values: identity strings, measured values,
// test summary, configuration values and control parameters, and alarmFlags
// holding only "service running".
void applyUpsStartValues(StatusRecord& record);

// The service's files in the program's directory, fixed at start-up: the
// service reads and writes only these, whatever the record's path fields
// say later.
struct StartupFiles {
  std::string identIniPath;
  std::string eventIniPath;
  std::string configPath;
  LogPaths logs;
};

StartupFiles startupFilesIn(const std::string& programDirectory);

// On a mapped record: the start-up values (with the files' "event.ini"), the
// file paths of the record for the pages (configPath, eventLogPath,
// dataLogPath, tempPath), the saved settings when there are any, and
// shutdown never enabled for events 19, 23 and 24.
void initialiseRecord(StatusRecord& record, Platform platform, const MessageCatalogue& catalogue,
                      const StartupFiles& files, SettingsFile& settings);

// The working copies, taken at start-up and again after every load of the
// settings: the clock in hundredths of a second, the computer and host names,
// and the two countdowns.
void applyRunTimeFields(StatusRecord& record, const RecordFacts& facts);

}  // namespace orvik
