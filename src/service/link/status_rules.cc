// The status variables of the reply decoder: each compares the number read
// with its field's reference value and sets status bits and codes, which
// event detection turns into events.
#include "platform/clock.h"
#include "service/link/decode_rules.h"
#include "service/link/value_text.h"
#include "shared/record_access.h"
#include "shared/status_record.h"

namespace orvik::decode_rules {
namespace {

bool flagSet(uint32_t flags, unsigned bit) { return (flags >> bit) & 1; }

enum OutputSource : int16_t {
  kSourceNormal = 3,
  kSourceBypass = 4,
  kSourceBattery = 5,
  kSourceBooster = 6,
  kSourceReducer = 7,
};

enum TestResult : int16_t {
  kTestPassed = 1,
  kTestWarning = 2,
  kTestError = 3,
  kTestAborted = 4,
  kTestInProgress = 5,
  kNoTestInitiated = 6,
};

// Process clock in hundredths of a second, as the test ticks count.
int32_t clockTicks(Clock& clock) { return clock.processClock() / 10; }

}  // namespace

void alarmRule(LinkContext& ctx, uint32_t number, bool match) {
  StatusRecord& record = *ctx.record;
  DecoderState& state = ctx.decoder;
  uint32_t& flags = record.alarmFlags;
  switch (number) {
    case 34:
      setFlagBit(flags, kTemperatureBit, match);
      break;
    case 72:
      setFlagBit(flags, kOutputBadBit, match);
      break;
    case 32:
      setFlagBit(flags, kOverloadBit, match);
      break;
    case 43:
      setFlagBit(flags, kInputBadBit, match);
      if (match && !flagSet(state.previousAlarmFlags, kInputBadBit)) {
        storeField(record.inputLineBads, saturate16(loadField(record.inputLineBads) + 1));
      }
      break;
    case 71: {
      // A self-test runs on battery; that is no power failure.
      if (flagSet(loadField(flags), kTestInProgressBit)) return;
      if (match) {
        const int32_t now = ctx.clock->processClock();
        if (flagSet(state.previousAlarmFlags, kOnBatteryBit)) {
          // Unsigned difference: right across the 24.8-day wrap of the clock.
          const uint32_t elapsedMs =
              static_cast<uint32_t>(now) - static_cast<uint32_t>(state.onBatterySince);
          storeField(record.secondsOnBattery, saturate16(elapsedMs / 1000));
        } else {
          state.onBatterySince = now;
        }
      } else {
        storeField(record.secondsOnBattery, 0);
      }
      setFlagBit(flags, kOnBatteryBit, match);
      break;
    }
    default:
      return;
  }
  state.previousAlarmFlags = loadField(flags);
}

void batteryStatusRule(LinkContext& ctx, uint32_t number, bool match) {
  StatusRecord& record = *ctx.record;
  DecoderState& state = ctx.decoder;
  uint32_t& flags = record.alarmFlags;
  switch (number) {
    case 45:
      if (match) storeField(record.batteryStatus, 3);
      setFlagBit(flags, kLowBatteryBit, match);
      break;
    case 46:
      setFlagBit(flags, kBatteryBadBit, match);
      break;
    case 47:
      if (match) storeField(record.batteryStatus, 4);
      setFlagBit(flags, kDepletedBatteryBit, match);
      break;
    case 44: {
      const uint32_t now = loadField(flags);
      if (match && !flagSet(now, kBatteryBadBit) && !flagSet(now, kLowBatteryBit) &&
          !flagSet(now, kDepletedBatteryBit)) {
        storeField(record.batteryStatus, 2);
      }
      break;
    }
    default:
      return;
  }
  // Units of model class 0 report the bypass only through the output source.
  if (state.modelKind == 0) {
    const int16_t source = loadField(record.outputSource);
    if (source != state.lastOutputSource) {
      setFlagBit(flags, kOnBypassBit, source == kSourceBypass);
      state.lastOutputSource = source;
    }
  }
}

void outputSourceRule(LinkContext& ctx, uint32_t number, bool match, int64_t numberRead) {
  StatusRecord& record = *ctx.record;
  DecoderState& state = ctx.decoder;
  if (flagSet(loadField(record.alarmFlags), kOnBatteryBit)) {
    storeField(record.outputSource, kSourceBattery);
    return;
  }
  // Binary variant 1 units, and variant 2 units while boosting, use the
  // bypass and reducer bits for something else.
  const bool bypassBitsApply =
      !(ctx.protocolVariant == 1 || (ctx.protocolVariant == 2 && state.boostMarker == 1));
  const int inputVoltage = loadField(record.inputVoltage[0]);
  const int outputVoltage = loadField(record.outputVoltage[0]);
  switch (number) {
    case 39:
      if (match) storeField(record.outputSource, kSourceNormal);
      break;
    case 42:
      if (match && state.modelKind == 0) storeField(record.outputSource, kSourceBypass);
      break;
    case 40:
      if (!match || !bypassBitsApply) break;
      if (state.modelKind == 0) {
        storeField(record.outputSource, kSourceBypass);
      } else {
        const bool reducing = ctx.protocolFamily == kFamilyQ1 && inputVoltage - outputVoltage > 5;
        storeField(record.outputSource, reducing ? kSourceReducer : kSourceBooster);
      }
      break;
    case 41:
      if (!match || !bypassBitsApply) break;
      if (state.modelKind == 0) {
        storeField(record.outputSource, kSourceBypass);
      } else {
        const bool boosting = ctx.protocolFamily == kFamilyQ1 && outputVoltage - inputVoltage > 5;
        storeField(record.outputSource, boosting ? kSourceBooster : kSourceReducer);
      }
      break;
    case 70:
      if (ctx.protocolVariant == 2) {
        state.modelKind = 1;
        state.boostMarker = numberRead == 0 ? 1 : 0;
      }
      break;
    default:
      break;
  }
}

void testResultRule(LinkContext& ctx, uint32_t number, bool match) {
  if (!match) return;
  StatusRecord& record = *ctx.record;
  const char* detail = nullptr;
  int16_t summary = 0;
  switch (number) {
    case 27:
      summary = kTestPassed;
      detail = "Test finished without failure";
      break;
    case 80:
      summary = kTestWarning;
      break;
    case 81:
      summary = kTestError;
      break;
    case 82:
      summary = kTestAborted;
      break;
    case 83:
      summary = kTestInProgress;
      detail = "Test did not yet finish";
      storeField(record.testElapsedTicks,
                 static_cast<uint32_t>(clockTicks(*ctx.clock)) -
                     static_cast<uint32_t>(loadField(record.serviceStartTicks)) -
                     static_cast<uint32_t>(loadField(record.testStartTicks)));
      break;
    case 84:
      summary = kNoTestInitiated;
      detail = "No test requested";
      break;
    default:
      return;
  }
  storeField(record.testResultsSummary, summary);
  if (detail != nullptr) setText(record.testResultsDetail, detail);
  if (summary != kTestInProgress) setFlagBit(record.alarmFlags, kTestInProgressBit, false);
}

}  // namespace orvik::decode_rules
