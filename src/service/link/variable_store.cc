// storeVariable: where each variable number leads in the shared status
// record, and the rules for the measured and identity values.
#include <cstdio>
#include <string>

#include "service/link/battery_estimates.h"
#include "service/link/decode_rules.h"
#include "service/link/ident_file.h"
#include "service/link/reply_decoder.h"
#include "service/link/value_text.h"
#include "shared/record_access.h"
#include "shared/status_record.h"

namespace orvik {
namespace {

using namespace decode_rules;

constexpr uint32_t id(uint32_t number, uint32_t sub = 0) { return number | sub << 16; }

enum class Reading { integer, floating };

// The number of a value text after map mode and scale, truncated toward
// zero. False when map mode has no entry for the number read.
bool scaledNumber(const FieldRecord& field, double number, int64_t* out) {
  if (field.check.checkMode == CheckMode::map) {
    const int64_t index = truncateValue(number);
    if (index < 0 || index >= static_cast<int64_t>(field.check.valueTable.size())) return false;
    number = field.check.valueTable[index];
  }
  *out = truncateValue(number * field.scale);
  return true;
}

double numberRead(std::string_view text, Reading reading) {
  return reading == Reading::floating ? floatValue(text) : static_cast<double>(decimalValue(text));
}

bool genericValue(const FieldRecord& field, std::string_view text, Reading reading, int64_t* out) {
  return scaledNumber(field, numberRead(text, reading), out);
}

template <class T>
void storeGeneric(T& target, const FieldRecord& field, std::string_view text, Reading reading) {
  int64_t value;
  if (!genericValue(field, text, reading, &value)) return;
  if constexpr (sizeof(T) == 2) {
    storeField(target, saturate16(value));
  } else {
    storeField(target, saturate32(value));
  }
}

void storeText(char* target, std::size_t size, std::string_view text) {
  setText(target, size, std::string(text).c_str());
}
template <std::size_t N>
void storeText(char (&target)[N], std::string_view text) {
  storeText(target, N, text);
}

// The binary rules read bytes of the whole reply by position. A reply too
// short for a rule's bytes says nothing about its target.
bool reaches(std::string_view reply, std::size_t k) { return k < reply.size(); }

int replyByte(std::string_view reply, std::size_t k) {
  return reaches(reply, k) ? static_cast<unsigned char>(reply[k]) : 0;
}

bool valueAvailable(int value) { return value != kNotAvailable; }

// Measured input and output voltage. Two-letter units of 180 V and more
// report the voltage divided by (nominal voltage / 180 + 1).
void voltageRule(LinkContext& ctx, const FieldRecord& field, std::string_view text, int16_t& target,
                 const Param& nominal) {
  double number = floatValue(text);
  const int configured = loadField(nominal.value);
  if (ctx.protocolFamily == kFamilyTwoLetter && configured > 0) number *= configured / 180 + 1;
  int64_t value;
  if (scaledNumber(field, number, &value)) storeField(target, saturate16(value));
}

// A nominal frequency not yet known is guessed from the first measurement.
void guessNominalFrequency(Param& nominal, int frequency, int voltage) {
  if (loadField(nominal.value) != kNotAvailable || !valueAvailable(frequency) ||
      !valueAvailable(voltage)) {
    return;
  }
  storeField(nominal.value, frequency >= 550 && frequency <= 650 ? 600 : 500);
}

void inputFrequencyRule(LinkContext& ctx, const FieldRecord& field, std::string_view text) {
  StatusRecord& record = *ctx.record;
  int64_t value;
  if (!genericValue(field, text, Reading::floating, &value)) return;
  const int16_t frequency = saturate16(value);
  storeField(record.inputFrequency[0], frequency);
  guessNominalFrequency(record.confInFreq, frequency, loadField(record.inputVoltage[0]));
  // "Q1" units report no output frequency: on battery it is the nominal one.
  if (ctx.protocolFamily == kFamilyQ1) {
    storeField(record.outputFrequency, loadField(record.secondsOnBattery) > 0
                                           ? loadField(record.confOutFreq.value)
                                           : frequency);
  }
}

void outputFrequencyRule(LinkContext& ctx, const FieldRecord& field, std::string_view text) {
  StatusRecord& record = *ctx.record;
  int64_t value;
  if (!genericValue(field, text, Reading::floating, &value)) return;
  const int16_t frequency = saturate16(value);
  storeField(record.outputFrequency, frequency);
  guessNominalFrequency(record.confOutFreq, frequency, loadField(record.outputVoltage[0]));
}

// Binary units give their nominal voltage as a code in byte 12.
void nominalVoltageRule(LinkContext& ctx, const FieldRecord& field, std::string_view text,
                        std::string_view reply, Param& target) {
  if (ctx.protocolFamily != kFamilyBinary) {
    storeGeneric(target.value, field, text, Reading::floating);
    return;
  }
  static constexpr int16_t kVoltageByCode[16] = {100, 110, 115, 120, 0, 0, 0, 200,
                                                 220, 230, 240, 0,   0, 0, 0, 0};
  if (!reaches(reply, 12)) return;
  const int16_t volts = kVoltageByCode[replyByte(reply, 12) & 0x0f];
  if (volts != 0) storeField(target.value, volts);
}

void storeEstimates(LinkContext& ctx) {
  StatusRecord& record = *ctx.record;
  const int voltage = loadField(record.batteryVoltage);
  const int nominal = loadField(record.nominalBatteryVoltage);
  const bool onBattery = (loadField(record.alarmFlags) >> kOnBatteryBit) & 1;
  storeField(record.estMinutesRemaining,
             minutesEstimate(loadField(record.outputPercentLoad[0]), voltage, nominal));
  storeField(record.estChargeRemaining,
             chargeEstimate(ctx.decoder, readText(record.model), onBattery, voltage, nominal));
}

// Binary units: a charge code in byte 1 and a correction by byte 0 when bit
// 0 of byte 9 is set; 24 V models (high nibble of byte 12 is 5, 6 or 8) read
// half their voltage.
void binaryBatteryVoltage(LinkContext& ctx, std::string_view reply) {
  if (!reaches(reply, 12)) return;
  const int code = static_cast<signed char>(reply[1]);
  const int correction = static_cast<signed char>(reply[0]);
  if (code < 0) return;
  int volts = code == 100  ? 136
              : code >= 30 ? 115 + ((code - 30) * 21) / 70
                           : 110 + (code * 5) / 30;
  if (replyByte(reply, 9) & 0x01) volts = static_cast<int>(truncateValue(volts - 0.1 * correction));
  const int model = replyByte(reply, 12) >> 4;
  if (model == 5 || model == 6 || model == 8) volts *= 2;
  storeField(ctx.record->batteryVoltage, saturate16(volts));
  storeEstimates(ctx);
}

void batteryVoltageRule(LinkContext& ctx, const FieldRecord& field, std::string_view text,
                        std::string_view reply) {
  if (ctx.protocolFamily == kFamilyBinary) {
    binaryBatteryVoltage(ctx, reply);
    return;
  }
  StatusRecord& record = *ctx.record;
  const double number = floatValue(text);
  int64_t value;
  if (!scaledNumber(field, number, &value)) return;
  storeField(record.batteryVoltage, saturate16(value));
  // The nominal voltage, when nobody has told it, is the multiple of 120
  // (one 12 V block) below the first reading.
  int nominal = loadField(record.nominalBatteryVoltage);
  if (nominal == 0 && value != 0 && loadField(record.inputVoltage[0]) != 0) {
    nominal = saturate16(((value + 119) / 120) * 120 - 120);
    storeField(record.nominalBatteryVoltage, nominal);
  }
  // Below 3 V, or on class 0 models always, "Q1" units give the voltage of
  // one 2 V cell. The battery has nominal / 20 cells (six to a 12 V block,
  // the nominal in 0.1 V), so in 0.1 V it reads number x nominal / 2.
  if (ctx.protocolFamily == kFamilyQ1 && (number < 3.0 || ctx.decoder.modelKind == 0)) {
    storeField(record.batteryVoltage, saturate16(truncateValue(number * nominal * 0.5)));
  }
  storeEstimates(ctx);
}

std::string hexByte(int value) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", value & 0xff);
  return text;
}

void modelRule(LinkContext& ctx, std::string_view text, std::string_view reply) {
  StatusRecord& record = *ctx.record;
  DecoderState& state = ctx.decoder;
  if (ctx.protocolFamily == kFamilyTwoLetter) {
    storeText(record.model, text);
    return;
  }
  bool matched = false;
  if (ctx.protocolFamily == kFamilyQ1) {
    // The model is cut from a fixed column range, so it carries blanks.
    matched = identLookup(ctx, kFamilyQ1, trimBlanks(text), {}, {});
    state.identMatched = matched;
    // The "Q1" tables read no rating: only an entry knows it, and a model
    // not listed leaves it unknown, not that of a UPS seen before.
    const IdentEntry& entry = state.identEntry;
    storeField(record.configOutputVA, matched ? saturate16(entry.ratedVa) : kNotAvailable);
    storeField(record.configOutputPower, matched ? saturate16(entry.ratedW) : kNotAvailable);
  } else if (ctx.protocolFamily == kFamilyBinary) {
    if (!reaches(reply, 15)) return;
    const int modelByte = replyByte(reply, 15);
    // Byte 15 counts only once two replies agree on it.
    const std::string key3 = modelByte == state.lastModelByte ? hexByte(modelByte) : "00";
    state.lastModelByte = static_cast<uint8_t>(modelByte);
    matched = identLookup(ctx, kFamilyBinary, hexByte(replyByte(reply, 11)),
                          hexByte(replyByte(reply, 12) & 0xf0), key3);
  } else {
    return;
  }
  // Without a match the model stays as the UPS named it (the binary units
  // name none).
  if (matched) {
    setText(record.model, state.identEntry.model);
  } else if (!trimBlanks(text).empty()) {
    storeText(record.model, trimBlanks(text));
  }
  // A "Q1" unit that is not listed keeps the manufacturer it named itself.
  const bool listed = ctx.protocolFamily == kFamilyQ1 ? matched : state.identEntry.found;
  if (listed) setText(record.manufacturer, state.identEntry.manufacturer);
}

// Selector variables: on a match the target takes the variable's own result.
void selectorRule(Param& target, int16_t result, bool match) {
  if (match) storeField(target.value, result);
}

void audibleRule(StatusRecord& record, const FieldRecord& field, int16_t result, bool match) {
  if (!match) return;
  storeField(record.confAudible.value, saturate16(truncateValue(result * field.scale)));
}

void idNameRule(StatusRecord& record, const FieldRecord& field, std::string_view text,
                int64_t numberRead) {
  if (field.check.checkMode == CheckMode::map) {
    setText(record.idName, std::to_string(field.check.valueTable[numberRead != 0 ? 1 : 0]));
  } else {
    storeText(record.idName, text);
  }
}

void bypassFrequencyRule(StatusRecord& record, const FieldRecord& field, std::string_view text) {
  int64_t value;
  if (genericValue(field, text, Reading::floating, &value)) {
    storeField(record.bypassFrequency, saturate16(value * 10));
  }
}

// Binary units have one input and one output line whatever the field says.
void lineCountRule(LinkContext& ctx, int16_t& target, const FieldRecord& field,
                   std::string_view text) {
  if (ctx.protocolFamily == kFamilyBinary) {
    storeField(target, 1);
  } else {
    storeGeneric(target, field, text, Reading::integer);
  }
}

// Until a model has been found in "ident.ini" its facts are unknown, and
// the record keeps "not available" rather than the empty entry's zeros.
void storeFromEntry(int16_t& target, const IdentEntry& entry, int32_t value) {
  if (entry.found) storeField(target, saturate16(value));
}

// The nominal battery voltage and the ratings: a "Q1" unit's own word
// stands unless "ident.ini" lists its model; the binary units report none.
void ratingRule(LinkContext& ctx, int16_t& target, const FieldRecord& field, std::string_view text,
                Reading reading, int32_t IdentEntry::*entryValue) {
  const DecoderState& state = ctx.decoder;
  const bool ownWord = ctx.protocolFamily == kFamilyTwoLetter ||
                       (ctx.protocolFamily == kFamilyQ1 && !state.identMatched);
  if (ownWord) {
    storeGeneric(target, field, text, reading);
  } else {
    storeFromEntry(target, state.identEntry, state.identEntry.*entryValue);
  }
}

void manufacturerRule(LinkContext& ctx, std::string_view text) {
  StatusRecord& record = *ctx.record;
  const DecoderState& state = ctx.decoder;
  if (ctx.protocolFamily == kFamilyTwoLetter) return storeText(record.manufacturer, text);
  // The "Q1" text runs up to the blank after it. The model follows in the
  // same reply, and its entry, if listed, replaces the name.
  if (ctx.protocolFamily == kFamilyQ1) {
    if (!trimBlanks(text).empty()) storeText(record.manufacturer, trimBlanks(text));
    return;
  }
  if (state.identEntry.found) setText(record.manufacturer, state.identEntry.manufacturer);
}

}  // namespace

void storeVariable(LinkContext& ctx, std::string_view valueText, const FieldRecord& field,
                   uint32_t variableId, std::string_view reply) {
  if (ctx.record == nullptr || ctx.clock == nullptr) return;
  StatusRecord& record = *ctx.record;
  const int64_t numberRead = decimalValue(valueText);
  const bool match = numberRead == field.check.valueTable[1];
  const std::string_view text = valueText;
  using enum Reading;

  // The dispatch reads as a table, one variable a line.
  // clang-format off
  switch (variableId) {
    case id(1):     return idNameRule(record, field, text, numberRead);
    case id(3, 1):  return voltageRule(ctx, field, text, record.inputVoltage[0], record.confInVolt);
    case id(3, 2):
      return voltageRule(ctx, field, text, record.outputVoltage[0], record.confOutVolt);
    case id(3, 3):  return batteryVoltageRule(ctx, field, text, reply);
    case id(3, 4):  return storeGeneric(record.bypassVoltage[0], field, text, floating);
    case id(4, 1):  return storeGeneric(record.inputCurrent[0], field, text, floating);
    case id(4, 2):  return storeGeneric(record.outputCurrent[0], field, text, floating);
    case id(4, 3):  return storeGeneric(record.batteryCurrent, field, text, floating);
    case id(4, 4):  return storeGeneric(record.bypassCurrent[0], field, text, floating);
    case id(5, 1):  return inputFrequencyRule(ctx, field, text);
    case id(5, 2):  return outputFrequencyRule(ctx, field, text);
    case id(5, 4):  return bypassFrequencyRule(record, field, text);
    case id(7, 1):  return storeGeneric(record.inputTruePower[0], field, text, integer);
    case id(7, 2):  return storeGeneric(record.outputPower[0], field, text, integer);
    case id(7, 4):  return storeGeneric(record.bypassPower[0], field, text, integer);
    case id(8):     return storeGeneric(record.outputPercentLoad[0], field, text, integer);
    case id(9, 3):  return storeGeneric(record.batteryTemperature, field, text, floating);
    case id(11, 1): return nominalVoltageRule(ctx, field, text, reply, record.confInVolt);
    case id(11, 2): return nominalVoltageRule(ctx, field, text, reply, record.confOutVolt);
    case id(11, 3):
      return ratingRule(ctx, record.nominalBatteryVoltage, field, text, floating,
                        &IdentEntry::nominalBatteryVoltage);
    case id(13, 1): return storeGeneric(record.confInFreq.value, field, text, floating);
    case id(13, 2): return storeGeneric(record.confOutFreq.value, field, text, floating);
    case id(14):
      return ratingRule(ctx, record.configOutputVA, field, text, integer, &IdentEntry::ratedVa);
    case id(15):
      return ratingRule(ctx, record.configOutputPower, field, text, integer, &IdentEntry::ratedW);
    case id(22):    return storeGeneric(record.lowTransferVoltage.value, field, text, floating);
    case id(23):    return storeGeneric(record.highTransferVoltage.value, field, text, floating);
    case id(24):    return storeGeneric(record.startupAfterDelay.value, field, text, integer);
    case id(25):    return storeGeneric(record.rebootWithDuration.value, field, text, integer);
    case id(26):    return storeGeneric(record.shutdownAfterDelay.value, field, text, integer);
    case id(27): case id(80): case id(81): case id(82): case id(83): case id(84):
      return testResultRule(ctx, variableId, match);
    case id(32): case id(34): case id(43): case id(71): case id(72):
      return alarmRule(ctx, variableId, match);
    case id(39): case id(40): case id(41): case id(42): case id(70):
      return outputSourceRule(ctx, variableId, match, numberRead);
    case id(44): case id(45): case id(46): case id(47):
      return batteryStatusRule(ctx, variableId, match);
    case id(49):    return manufacturerRule(ctx, text);
    case id(50):    return modelRule(ctx, text, reply);
    case id(51):    return storeText(record.serialNumber, text);
    case id(52):    return storeText(record.attDevice, text);
    case id(53):    return storeText(record.agentSoftwareVersion, text);
    case id(54):    return storeText(record.upsSoftwareVersion, text);
    case id(55):    return storeGeneric(record.batteryDate, field, text, integer);
    case id(56):    return audibleRule(record, field, 1, match);
    case id(57):    return audibleRule(record, field, 2, match);
    case id(58):    return audibleRule(record, field, 3, match);
    case id(59):    return audibleRule(record, field, 4, match);
    case id(60):    return selectorRule(record.autoRestart, 1, match);
    case id(61):    return selectorRule(record.autoRestart, 0, match);
    case id(62):    return selectorRule(record.shutdownType, 1, match);
    case id(63):    return selectorRule(record.shutdownType, 2, match);
    case id(64):    return storeGeneric(record.secondsOnBattery, field, text, integer);
    case id(65):    return storeGeneric(record.estMinutesRemaining, field, text, integer);
    case id(66):    return storeGeneric(record.estChargeRemaining, field, text, integer);
    case id(67):    return storeGeneric(record.confLowBatt.value, field, text, integer);
    case id(68, 1): return lineCountRule(ctx, record.inputNumLines, field, text);
    case id(68, 2): return lineCountRule(ctx, record.outputNumLines, field, text);
    case id(68, 4): return storeGeneric(record.bypassNumLines, field, text, integer);
    case id(69):    return storeGeneric(record.inputLineBads, field, text, integer);
    case id(73):    return storeGeneric(record.outletCount, field, text, integer);
    default:
      if (variableId >= id(160) && variableId < id(160 + kOutletCount)) {
        storeGeneric(record.outlets[variableId - id(160)].outletState, field, text, integer);
      }
      return;
  }
  // clang-format on
}

}  // namespace orvik
