#include "service/monitor/record_startup.h"

#include <cstring>

#include "service/monitor/event_defaults.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

void setNotAvailable(int16_t (&values)[3]) {
  for (int16_t& v : values) v = kNotAvailable;
}

void setValue(Param& param, int16_t value) { param.value = value; }

}  // namespace

void applyUpsStartValues(StatusRecord& r) {
  setText(r.agentSoftwareVersion, "1.0");
  setText(r.idName, "UPS");
  setText(r.attDevice, "NA");
  r.batteryStatus = kNotAvailable;
  r.secondsOnBattery = 0;
  r.estMinutesRemaining = kNotAvailable;
  r.estChargeRemaining = kNotAvailable;
  r.batteryVoltage = kNotAvailable;
  r.batteryCurrent = kNotAvailable;
  r.batteryTemperature = kNotAvailable;
  r.inputLineBads = 0;
  r.inputNumLines = 1;
  setNotAvailable(r.inputFrequency);
  setNotAvailable(r.inputVoltage);
  setNotAvailable(r.inputCurrent);
  setNotAvailable(r.inputTruePower);
  r.outputSource = 3;
  r.outputFrequency = 0;
  r.outputNumLines = 1;
  setNotAvailable(r.outputVoltage);
  setNotAvailable(r.outputCurrent);
  setNotAvailable(r.outputPower);
  setNotAvailable(r.outputPercentLoad);
  r.bypassFrequency = kNotAvailable;
  r.bypassNumLines = 0;
  setNotAvailable(r.bypassVoltage);
  setNotAvailable(r.bypassCurrent);
  setNotAvailable(r.bypassPower);
  r.alarmFlags = uint32_t{1} << kServiceRunningBit;
  r.testSpinLock = 1;
  r.testResultsSummary = 6;

  setValue(r.shutdownType, 1);
  setValue(r.shutdownAfterDelay, -1);
  r.rebootWithDuration.value = -1;
  setValue(r.startupAfterDelay, -1);
  setValue(r.autoRestart, 2);
  for (Param* p : {&r.confInVolt, &r.confInFreq, &r.confOutVolt, &r.confOutFreq, &r.confLowBatt,
                   &r.confAudible, &r.lowTransferVoltage, &r.highTransferVoltage}) {
    setValue(*p, kNotAvailable);
  }
  r.configOutputVA = kNotAvailable;
  r.configOutputPower = kNotAvailable;
}

RecordFacts gatherRecordFacts(Platform& platform) {
  RecordFacts facts;
  facts.osName = platform.system->osName();
  facts.calendarSeconds = platform.clock->calendarSeconds();
  facts.monotonicMs = platform.clock->monotonicMs();
  facts.hostName = platform.system->hostName();
  facts.computerName = platform.system->computerName();
  return facts;
}

void applyStartupValues(StatusRecord& r, const RecordFacts& facts,
                        const MessageCatalogue& catalogue, int16_t powerFailShutDelay) {
  std::memset(&r, 0, sizeof r);
  applyUpsStartValues(r);

  setText(r.osName, facts.osName);
  r.serviceStartTime = static_cast<int32_t>(facts.calendarSeconds);
  r.dataLogEnable = 1;
  r.serviceFlags = 71;
  r.upsport = 0;
  r.pageport = 1;

  r.autoSave = 1;
  r.systemDelay = 30;
  r.upsDelay = 60;

  applyEventTexts(r, catalogue);
  applyEventDefaults(r, powerFailShutDelay);

  r.DataInterval = 60;
  r.EvtFileLen = 32000;
  r.DataFileLen = 32000;
  const int16_t logSettings[5] = {0, 0, 600, 5, 1};
  std::memcpy(r.serviceLogSettings, logSettings, sizeof logSettings);

  applyRunTimeFields(r, facts);
}

void applyRunTimeFields(StatusRecord& r, const RecordFacts& facts) {
  storeField(r.serviceStartTicks, static_cast<int32_t>(facts.monotonicMs / 10));
  setText(r.computerName, facts.computerName.substr(0, 15));
  setText(r.hostName, facts.hostName.empty() ? facts.computerName.substr(0, 15) : facts.hostName);
  storeField(r.dataLogCountdown, loadField(r.DataInterval));
  storeField(r.powerFailCountdown, loadField(r.eventActionsEven[1].shutDelay));
}

StartupFiles startupFilesIn(const std::string& programDirectory) {
  return {.identIniPath = programDirectory + "ident.ini",
          .eventIniPath = programDirectory + "event.ini",
          .configPath = programDirectory + "kestrel.cfg",
          .logs = {.eventLog = programDirectory + "kestrel.log",
                   .dataLog = programDirectory + "kestrel.dat",
                   .temp = programDirectory + "kestrel.tmp"}};
}

void initialiseRecord(StatusRecord& record, Platform platform, const MessageCatalogue& catalogue,
                      const StartupFiles& files, SettingsFile& settings) {
  applyStartupValues(record, gatherRecordFacts(platform), catalogue,
                     readPowerFailShutDelay(files.eventIniPath));
  setText(record.dataLogPath, files.logs.dataLog);
  setText(record.eventLogPath, files.logs.eventLog);
  setText(record.configPath, files.configPath);
  setText(record.tempPath, files.logs.temp);
  // A missing settings file leaves the defaults.
  settings.loadSettings();
  // These events must never shut the machine down, whatever an edited file says.
  for (const int event : {19, 23, 24})
    storeField(eventActionForEvent(record, event)->shutEnable, 0);
}

}  // namespace orvik
