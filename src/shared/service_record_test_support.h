// A status record as a running service leaves it, for tests of what
// reads it.
#pragma once

#include <cstring>
#include <memory>

#include "shared/record_access.h"
#include "shared/status_record.h"

namespace orvik {

// A record as a running service leaves it with a UPS that answers.
inline std::unique_ptr<StatusRecord> serviceRecord() {
  auto r = std::make_unique<StatusRecord>();
  std::memset(r.get(), 0, sizeof *r);
  setText(r->manufacturer, "ACME");
  setText(r->model, "VALUE-1000");
  setText(r->idName, "UPS");
  setText(r->eventLogPath, "/opt/orvik/kestrel.log");
  setText(r->dataLogPath, "/opt/orvik/kestrel.dat");
  r->alarmFlags = 1u << kServiceRunningBit;
  r->serviceStartTime = 1765189952;
  r->testResultsSummary = 6;
  r->inputVoltage[0] = 229;
  r->inputFrequency[0] = 501;
  r->outputVoltage[0] = kNotAvailable;
  r->outputFrequency = 500;
  r->outputPercentLoad[0] = 30;
  r->batteryVoltage = 273;
  r->batteryTemperature = kNotAvailable;
  r->estChargeRemaining = 80;
  r->estMinutesRemaining = 45;
  r->shutdownAfterDelay.value = -1;
  return r;
}

}  // namespace orvik
