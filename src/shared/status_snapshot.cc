#include "shared/status_snapshot.h"

#include <cstring>

#include "shared/clean_text.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

std::optional<double> value(const int16_t& field, double scale = 1.0) {
  const int16_t raw = loadField(field);
  if (raw == kNotAvailable) return std::nullopt;
  return raw * scale;
}

// UPS replies pad their texts with blanks.
template <std::size_t N>
std::string text(const char (&field)[N]) {
  const std::string clean = cleanText(readText(field));
  const std::size_t first = clean.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return clean.substr(first, clean.find_last_not_of(' ') + 1 - first);
}

// NUL somewhere inside: what every writer of a text field leaves.
template <std::size_t N>
bool terminated(const char (&field)[N]) {
  return std::memchr(field, 0, N) != nullptr;
}

}  // namespace

StatusSnapshot takeSnapshot(const StatusRecord& r) {
  StatusSnapshot s;
  s.alarmFlags = loadField(r.alarmFlags);
  s.serviceRunning = s.alarm(kServiceRunningBit);
  s.serviceStartTime = loadField(r.serviceStartTime);
  s.hostName = text(r.hostName);
  s.manufacturer = text(r.manufacturer);
  s.model = text(r.model);
  s.firmware = text(r.upsSoftwareVersion);
  s.serialNumber = text(r.serialNumber);
  s.name = text(r.idName);
  s.attachedDevices = text(r.attDevice);

  s.protocol = loadField(r.protocolInUse);
  s.inputVoltage = value(r.inputVoltage[0]);
  s.inputFrequency = value(r.inputFrequency[0], 0.1);
  s.outputVoltage = value(r.outputVoltage[0]);
  s.outputFrequency = value(r.outputFrequency, 0.1);
  s.outputLoad = value(r.outputPercentLoad[0]);
  s.batteryVoltage = value(r.batteryVoltage, 0.1);
  s.batteryTemperature = value(r.batteryTemperature);
  s.batteryCharge = value(r.estChargeRemaining);
  s.batteryMinutes = value(r.estMinutesRemaining);
  s.secondsOnBattery = loadField(r.secondsOnBattery);
  s.inputLineBads = loadField(r.inputLineBads);

  if (s.alarm(19)) {
    s.link = LinkState::kLost;
  } else if (s.manufacturer.empty() && s.model.empty() && !s.inputVoltage && !s.outputVoltage &&
             !s.batteryVoltage && !s.batteryCharge) {
    s.link = LinkState::kWaiting;
  } else {
    s.link = LinkState::kUp;
  }

  s.testResult = loadField(r.testResultsSummary);
  s.testDetail = text(r.testResultsDetail);
  const int16_t upsOff = loadField(r.shutdownAfterDelay.value);
  if (upsOff >= 0) s.upsOffIn = upsOff;
  // Only a power failure whose event shuts the computer down counts down to anything.
  if (s.alarm(1) && loadField(r.eventActionsEven[1].shutEnable) != 0) {
    s.powerFailCountdown = loadField(r.powerFailCountdown);
  }
  return s;
}

const char* testResultName(int code) {
  static const char* const kNames[] = {"passed",  "warning",     "error",
                                       "aborted", "in progress", "none"};
  return code >= 1 && code <= 6 ? kNames[code - 1] : "unknown";
}

std::string recordProblem(const StatusRecord& r) {
  // Only fields the service rebuilds at every start: the settings file may
  // load anything into the others.
  struct Named {
    const char* name;
    bool ok;
  };
  const Named texts[] = {
      {"manufacturer", terminated(r.manufacturer)},
      {"model", terminated(r.model)},
      {"upsSoftwareVersion", terminated(r.upsSoftwareVersion)},
      {"agentSoftwareVersion", terminated(r.agentSoftwareVersion)},
      {"testResultsDetail", terminated(r.testResultsDetail)},
      {"hostName", terminated(r.hostName)},
      {"computerName", terminated(r.computerName)},
      {"eventLogPath", terminated(r.eventLogPath)},
      {"dataLogPath", terminated(r.dataLogPath)},
  };
  for (const Named& field : texts) {
    if (!field.ok) return std::string("text field ") + field.name + " has no end";
  }
  // Empty while a starting service has not filled them in yet.
  const auto endsWith = [](const std::string& path, std::string_view name) {
    return path.empty() || (path.size() >= name.size() &&
                            path.compare(path.size() - name.size(), name.size(), name) == 0);
  };
  if (!endsWith(readText(r.eventLogPath), "kestrel.log")) return "eventLogPath names no event log";
  if (!endsWith(readText(r.dataLogPath), "kestrel.dat")) return "dataLogPath names no data log";
  return std::string();
}

}  // namespace orvik
