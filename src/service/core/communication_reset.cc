#include "service/core/communication_reset.h"

#include <memory>

#include "service/monitor/record_startup.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

template <std::size_t N>
void copyValues(int16_t (&to)[N], const int16_t (&from)[N]) {
  for (std::size_t i = 0; i < N; ++i) storeField(to[i], from[i]);
}

void copyValue(int16_t& to, const int16_t& from) { storeField(to, from); }

}  // namespace

void resetCommunicationState(StatusRecord& live) {
  // The start-up values have one home; take them from a fresh, zeroed record.
  const auto fresh = std::make_unique<StatusRecord>();
  applyUpsStartValues(*fresh);
  const StatusRecord& f = *fresh;

  setText(live.manufacturer, f.manufacturer);
  setText(live.model, f.model);
  setText(live.upsSoftwareVersion, f.upsSoftwareVersion);
  setText(live.agentSoftwareVersion, f.agentSoftwareVersion);
  setText(live.serialNumber, f.serialNumber);

  for (auto field :
       {&StatusRecord::batteryStatus, &StatusRecord::secondsOnBattery,
        &StatusRecord::estMinutesRemaining, &StatusRecord::estChargeRemaining,
        &StatusRecord::batteryVoltage, &StatusRecord::batteryCurrent,
        &StatusRecord::batteryTemperature, &StatusRecord::inputLineBads,
        &StatusRecord::inputNumLines, &StatusRecord::outputSource, &StatusRecord::outputFrequency,
        &StatusRecord::outputNumLines, &StatusRecord::bypassFrequency,
        &StatusRecord::bypassNumLines, &StatusRecord::testResultsSummary,
        &StatusRecord::configOutputVA, &StatusRecord::configOutputPower}) {
    copyValue(live.*field, f.*field);
  }
  for (auto lines :
       {&StatusRecord::inputFrequency, &StatusRecord::inputVoltage, &StatusRecord::inputCurrent,
        &StatusRecord::inputTruePower, &StatusRecord::outputVoltage, &StatusRecord::outputCurrent,
        &StatusRecord::outputPower, &StatusRecord::outputPercentLoad, &StatusRecord::bypassVoltage,
        &StatusRecord::bypassCurrent, &StatusRecord::bypassPower}) {
    copyValues(live.*lines, f.*lines);
  }
  for (auto param :
       {&StatusRecord::shutdownType, &StatusRecord::shutdownAfterDelay,
        &StatusRecord::startupAfterDelay, &StatusRecord::autoRestart, &StatusRecord::confInVolt,
        &StatusRecord::confInFreq, &StatusRecord::confOutVolt, &StatusRecord::confOutFreq,
        &StatusRecord::confLowBatt, &StatusRecord::confAudible, &StatusRecord::lowTransferVoltage,
        &StatusRecord::highTransferVoltage}) {
    copyValue((live.*param).value, (f.*param).value);
  }
  storeField(live.rebootWithDuration.value, f.rebootWithDuration.value);
  storeFlags(live.alarmFlags, 0u);
}

}  // namespace orvik
