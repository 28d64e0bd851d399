// Compile-time proof that the record matches the binary contract byte for byte.
#include <type_traits>

#include "shared/status_record.h"

namespace orvik {
namespace {

static_assert(std::is_standard_layout_v<StatusRecord> && std::is_trivial_v<StatusRecord>);
static_assert(sizeof(Param) == 20 && sizeof(ParamL) == 20);
static_assert(sizeof(Outlet) == 88 && sizeof(EventAction) == 1288 && sizeof(ScheduleEntry) == 18);
static_assert(sizeof(StatusRecord) == kRecordSize);

#define AT(type, field, offset) static_assert(offsetof(type, field) == (offset), #field)

AT(ParamL, capability, 4);
AT(ParamL, lowerBound, 8);
AT(ParamL, upperBound, 12);
AT(Outlet, outletDescr, 4);
AT(Outlet, outletShutdownDelay, 20);
AT(Outlet, outletShutdownDepend, 22);
AT(EventAction, bnmEnable, 4);
AT(EventAction, bnmDelay, 8);
AT(EventAction, bnmMessage, 10);
AT(EventAction, bnmPeriod, 110);
AT(EventAction, bnmUsers, 112);
AT(EventAction, mailEnable, 368);
AT(EventAction, mailDelay, 372);
AT(EventAction, mailMessage, 374);
AT(EventAction, mailUsers, 474);
AT(EventAction, pageEnable, 732);
AT(EventAction, pageDelay, 736);
AT(EventAction, pageMessage, 738);
AT(EventAction, pageUsers, 754);
AT(EventAction, executeEnable, 1012);
AT(EventAction, executeDelay, 1016);
AT(EventAction, executeCommand, 1018);
AT(EventAction, shutEnable, 1280);
AT(EventAction, shutDelay, 1284);
AT(ScheduleEntry, frequency, 16);

AT(StatusRecord, manufacturer, 0);
AT(StatusRecord, model, 64);
AT(StatusRecord, upsSoftwareVersion, 128);
AT(StatusRecord, agentSoftwareVersion, 192);
AT(StatusRecord, idName, 256);
AT(StatusRecord, attDevice, 320);
AT(StatusRecord, batteryStatus, 384);
AT(StatusRecord, secondsOnBattery, 386);
AT(StatusRecord, estMinutesRemaining, 388);
AT(StatusRecord, estChargeRemaining, 390);
AT(StatusRecord, batteryVoltage, 392);
AT(StatusRecord, batteryCurrent, 394);
AT(StatusRecord, batteryTemperature, 396);
AT(StatusRecord, inputLineBads, 398);
AT(StatusRecord, inputNumLines, 400);
AT(StatusRecord, inputFrequency, 402);
AT(StatusRecord, inputVoltage, 408);
AT(StatusRecord, inputCurrent, 414);
AT(StatusRecord, inputTruePower, 420);
AT(StatusRecord, outputSource, 426);
AT(StatusRecord, outputFrequency, 428);
AT(StatusRecord, outputNumLines, 430);
AT(StatusRecord, outputVoltage, 432);
AT(StatusRecord, outputCurrent, 438);
AT(StatusRecord, outputPower, 444);
AT(StatusRecord, outputPercentLoad, 450);
AT(StatusRecord, bypassFrequency, 456);
AT(StatusRecord, bypassNumLines, 458);
AT(StatusRecord, bypassVoltage, 460);
AT(StatusRecord, bypassCurrent, 466);
AT(StatusRecord, bypassPower, 472);
AT(StatusRecord, alarmFlags, 484);
AT(StatusRecord, protocolInUse, 488);
AT(StatusRecord, testSpinLock, 764);
AT(StatusRecord, testResultsSummary, 766);
AT(StatusRecord, testResultsDetail, 768);
AT(StatusRecord, testStartTicks, 1024);
AT(StatusRecord, testElapsedTicks, 1028);
AT(StatusRecord, shutdownType, 1032);
AT(StatusRecord, shutdownAfterDelay, 1052);
AT(StatusRecord, rebootWithDuration, 1072);
AT(StatusRecord, startupAfterDelay, 1112);
AT(StatusRecord, autoRestart, 1132);
AT(StatusRecord, confInVolt, 1152);
AT(StatusRecord, confInFreq, 1172);
AT(StatusRecord, confOutVolt, 1192);
AT(StatusRecord, confOutFreq, 1212);
AT(StatusRecord, configOutputVA, 1232);
AT(StatusRecord, configOutputPower, 1234);
AT(StatusRecord, confLowBatt, 1236);
AT(StatusRecord, confAudible, 1256);
AT(StatusRecord, lowTransferVoltage, 1276);
AT(StatusRecord, highTransferVoltage, 1296);
AT(StatusRecord, osName, 1316);
AT(StatusRecord, serviceStartTime, 1348);
AT(StatusRecord, dataLogEnable, 1352);
AT(StatusRecord, serviceFlags, 1354);
AT(StatusRecord, upsport, 1356);
AT(StatusRecord, pageport, 1616);
AT(StatusRecord, powerFailCountdown, 1876);
AT(StatusRecord, eventActionsEven, 1880);
AT(StatusRecord, eventActionsOdd, 37944);
AT(StatusRecord, serialNumber, 74008);
AT(StatusRecord, nominalBatteryVoltage, 74072);
AT(StatusRecord, batteryDate, 74076);
AT(StatusRecord, outletCount, 74080);
AT(StatusRecord, outlets, 74084);
AT(StatusRecord, shutDepend, 74788);
AT(StatusRecord, autoSave, 75044);
AT(StatusRecord, systemDelay, 75048);
AT(StatusRecord, upsDelay, 75050);
AT(StatusRecord, EvtFileLen, 75052);
AT(StatusRecord, DataFileLen, 75056);
AT(StatusRecord, DataInterval, 75060);
AT(StatusRecord, serviceLogSettings, 75062);
AT(StatusRecord, scheduleCount, 75072);
AT(StatusRecord, schedule, 75074);
AT(StatusRecord, serviceStartTicks, 76156);
AT(StatusRecord, hostName, 76160);
AT(StatusRecord, computerName, 76416);
AT(StatusRecord, dataLogPath, 76672);
AT(StatusRecord, eventLogPath, 76932);
AT(StatusRecord, configPath, 77192);
AT(StatusRecord, tempPath, 77452);
AT(StatusRecord, dataLogCountdown, 77712);

#undef AT

}  // namespace

EventAction* eventActionForEvent(StatusRecord& record, int eventNumber) {
  if (eventNumber >= 0 && eventNumber < kEventBits) return &record.eventActionsEven[eventNumber];
  if (eventNumber >= 100 && eventNumber < 100 + kEventBits) {
    return &record.eventActionsOdd[eventNumber - 100];
  }
  return nullptr;
}

EventAction* eventActionForCode(StatusRecord& record, int eventCode) {
  if (eventCode < 0 || eventCode >= 2 * kEventBits) return nullptr;
  return eventCode % 2 == 0 ? &record.eventActionsEven[eventCode / 2]
                            : &record.eventActionsOdd[eventCode / 2];
}

}  // namespace orvik
