// What the status record says about the UPS and the service, in plain
// units, taken in one pass: what the command-line tool shows and the
// metrics page serves. Fields the UPS does not report (-2 in the record)
// are empty optionals; texts are cleaned (clean_text.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "shared/status_record.h"

namespace orvik {

enum class LinkState {
  kUp,       // values arrive
  kLost,     // communication lost (bit 19)
  kWaiting,  // nothing decoded yet: no identity and no measured value
};

struct StatusSnapshot {
  bool serviceRunning = false;   // bit 24; the service clears it when it stops
  int64_t serviceStartTime = 0;  // seconds since 1970
  std::string hostName;
  std::string manufacturer;
  std::string model;
  std::string firmware;
  std::string serialNumber;
  std::string name;  // idName
  std::string attachedDevices;
  LinkState link = LinkState::kWaiting;
  int protocol = 0;  // 1 to 9 once identified, 0 before

  std::optional<double> inputVoltage;        // V, line 1
  std::optional<double> inputFrequency;      // Hz
  std::optional<double> outputVoltage;       // V, line 1
  std::optional<double> outputFrequency;     // Hz
  std::optional<double> outputLoad;          // percent of rated load, line 1
  std::optional<double> batteryVoltage;      // V
  std::optional<double> batteryTemperature;  // degrees Celsius
  std::optional<double> batteryCharge;       // percent
  std::optional<double> batteryMinutes;      // estimated run time left
  int secondsOnBattery = 0;
  int inputLineBads = 0;

  uint32_t alarmFlags = 0;
  int testResult = 6;  // 1 passed .. 6 no test initiated
  std::string testDetail;
  // Seconds until the UPS switches its output off; empty when none pending.
  std::optional<int> upsOffIn;
  // Seconds left before a power failure shuts this computer down: only while
  // on battery, and only when the power failure's event has its shutdown on.
  std::optional<int> powerFailCountdown;

  bool alarm(int bit) const { return bit >= 0 && bit < 32 && (alarmFlags >> bit & 1) != 0; }
};

// Reads every field once, each 2- and 4-byte one as a single access.
StatusSnapshot takeSnapshot(const StatusRecord& record);

// "passed", "warning", "error", "aborted", "in progress", "none" (no test
// initiated); "unknown" for any other code.
const char* testResultName(int code);

// Why a block that a live owner holds is not a status record this system
// wrote (a field no version of the service leaves so); empty when it may be.
std::string recordProblem(const StatusRecord& record);

}  // namespace orvik
