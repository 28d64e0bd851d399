// The shared status record: one 77716-byte block, named "OrvikMappingObject",
// through which the service and the management pages share the UPS identity,
// measured values, alarms, settings and service facts. The layout is a binary
// contract between separately built programs; every offset is checked below.
//
// Concurrency: no lock guards the block. 2- and 4-byte fields are read and
// written as single aligned accesses (record_access.h); text fields may be
// seen half-written by a concurrent reader.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvik {

inline constexpr char kRecordName[] = "OrvikMappingObject";
inline constexpr std::size_t kRecordSize = 77716;
// A 16-bit measured or configuration value the UPS does not report.
inline constexpr int16_t kNotAvailable = -2;

// A UPS parameter with what the UPS allows for it.
struct Param {
  int16_t value;
  // 0 read only; n > 0 one of the n values in allowed; < 0 within allowed[0]..allowed[1].
  int16_t capability;
  int16_t allowed[8];
};

struct ParamL {
  int32_t value;
  int32_t capability;
  int32_t lowerBound;
  int32_t upperBound;
  uint8_t reserved[4];
};

struct Outlet {
  int32_t outletState;  // 1 on, anything else off
  char outletDescr[16];
  int16_t outletShutdownDelay;  // seconds
  char outletShutdownDepend[66];  // host names or addresses, each followed by ";"
};

// What the service does when one event occurs.
struct EventAction {
  int32_t logEnable;
  int32_t bnmEnable;
  int16_t bnmDelay;
  char bnmMessage[100];
  int16_t bnmPeriod;
  char bnmUsers[256];
  int32_t mailEnable;
  int16_t mailDelay;
  char mailMessage[100];
  char mailUsers[258];
  int32_t pageEnable;
  int16_t pageDelay;
  char pageMessage[16];
  char pageUsers[258];
  int32_t executeEnable;
  int16_t executeDelay;
  char executeCommand[262];
  int32_t shutEnable;
  int16_t shutDelay;
  uint8_t reserved[2];
};

// Nine int16 in this order; weekday 1 = Sunday .. 7 = Saturday.
struct ScheduleEntry {
  int16_t action;
  int16_t second;
  int16_t minute;
  int16_t hour;
  int16_t day;
  int16_t month;
  int16_t year;
  int16_t weekday;
  int16_t frequency;
};

inline constexpr int kEventBits = 28;
inline constexpr int kOutletCount = 8;
inline constexpr int kScheduleCapacity = 60;

struct StatusRecord {
  char manufacturer[64];
  char model[64];
  char upsSoftwareVersion[64];
  char agentSoftwareVersion[64];
  char idName[64];
  char attDevice[64];
  int16_t batteryStatus;
  int16_t secondsOnBattery;
  int16_t estMinutesRemaining;
  int16_t estChargeRemaining;
  int16_t batteryVoltage;      // 0.1 V
  int16_t batteryCurrent;      // 0.1 A
  int16_t batteryTemperature;  // degrees Celsius
  int16_t inputLineBads;
  int16_t inputNumLines;
  int16_t inputFrequency[3];  // 0.1 Hz
  int16_t inputVoltage[3];
  int16_t inputCurrent[3];
  int16_t inputTruePower[3];
  int16_t outputSource;
  int16_t outputFrequency;  // 0.1 Hz
  int16_t outputNumLines;
  int16_t outputVoltage[3];
  int16_t outputCurrent[3];
  int16_t outputPower[3];
  int16_t outputPercentLoad[3];
  int16_t bypassFrequency;
  int16_t bypassNumLines;
  int16_t bypassVoltage[3];
  int16_t bypassCurrent[3];
  int16_t bypassPower[3];
  uint8_t reserved478[6];
  uint32_t alarmFlags;
  // The protocol the poll cycle has identified (1 to 9), 0 while none is:
  // for the command-line tool. Not among the saved settings.
  int16_t protocolInUse;
  uint8_t reserved490[274];
  int16_t testSpinLock;
  int16_t testResultsSummary;
  char testResultsDetail[256];
  int32_t testStartTicks;
  int32_t testElapsedTicks;
  Param shutdownType;
  Param shutdownAfterDelay;
  ParamL rebootWithDuration;
  uint8_t reserved1092[20];
  Param startupAfterDelay;
  Param autoRestart;
  Param confInVolt;
  Param confInFreq;
  Param confOutVolt;
  Param confOutFreq;
  int16_t configOutputVA;
  int16_t configOutputPower;
  Param confLowBatt;
  Param confAudible;
  Param lowTransferVoltage;
  Param highTransferVoltage;
  char osName[32];
  int32_t serviceStartTime;
  uint16_t dataLogEnable;
  uint16_t serviceFlags;
  int32_t upsport;
  uint8_t reserved1360[256];
  int32_t pageport;
  uint8_t reserved1620[256];
  int16_t powerFailCountdown;
  uint8_t reserved1878[2];
  EventAction eventActionsEven[kEventBits];
  EventAction eventActionsOdd[kEventBits];
  char serialNumber[64];
  int16_t nominalBatteryVoltage;  // 0.1 V
  uint8_t reserved74074[2];
  int16_t batteryDate;
  uint8_t reserved74078[2];
  int16_t outletCount;
  uint8_t reserved74082[2];
  Outlet outlets[kOutletCount];
  char shutDepend[256];
  int32_t autoSave;
  int16_t systemDelay;
  int16_t upsDelay;
  int32_t EvtFileLen;
  int32_t DataFileLen;
  int16_t DataInterval;
  int16_t serviceLogSettings[5];
  int16_t scheduleCount;
  ScheduleEntry schedule[kScheduleCapacity];
  uint8_t reserved76154[2];
  int32_t serviceStartTicks;
  char hostName[256];
  char computerName[256];
  char dataLogPath[260];
  char eventLogPath[260];
  char configPath[260];
  char tempPath[260];
  int16_t dataLogCountdown;
  uint8_t reserved77714[2];
};

// Bits of alarmFlags beyond the alarm conditions.
inline constexpr uint32_t kServiceRunningBit = 24;
inline constexpr uint32_t kShutdownStartedBit = 25;

// The event action record of event n (occurrence, 0..27) or 100 + n (recovery).
// Null for any other number.
EventAction* eventActionForEvent(StatusRecord& record, int eventNumber);
// The same record addressed by the pages' event code: 2n occurrence, 2n + 1
// recovery. Null outside 0..55.
EventAction* eventActionForCode(StatusRecord& record, int eventCode);

}  // namespace orvik
