// What reply decoding and UPS command execution share: the record they
// write, the clock, the identified protocol's family and variant, the path of
// "ident.ini", the decoder's memory between replies and the restore time
// remembered for the next switch-off command.
//
// The poll cycle owns one LinkContext for the life of the process and passes
// protocolFamily and protocolVariant to buildProtocolTables, so the decoder
// and the command formats always follow the tables in use. Tests build their
// own. Nothing here is reset on a link loss.
//
// Threads: used only on the poll task's thread. The record is shared with
// other threads and processes; it is written through record_access.h.
#pragma once

#include <cstdint>
#include <string>

namespace orvik {

class Clock;
struct StatusRecord;

// Protocol families: which command formats and decoding rules apply.
inline constexpr int kFamilyNone = 0;
inline constexpr int kFamilyBinary = 1;
inline constexpr int kFamilyQ1 = 2;
inline constexpr int kFamilyTwoLetter = 5;

// The constant facts "ident.ini" gives for one UPS model.
struct IdentEntry {
  bool found = false;  // some lookup has matched; the fields below are its result
  char manufacturer[64] = {};
  char model[64] = {};
  int32_t ratedVa = 0;
  int32_t ratedW = 0;
  int32_t nominalBatteryVoltage = 0;  // 0.1 V
  int32_t modelClass = 0;             // 1 or 0
};

struct DecoderState {
  // alarmFlags as the alarm rules last left it, for edge detection.
  uint32_t previousAlarmFlags = 0;
  int32_t onBatterySince = 0;  // process clock, ms
  // outputSource for which the on-bypass bit was last computed.
  int32_t lastOutputSource = 0;
  // 0 selects the per-cell battery reading and the bypass meaning of the
  // output source variables; set by the model lookup and, on binary
  // variant 2 units, by variable 70.
  int16_t modelKind = 1;
  // Binary variant 2: set while the unit's regulation bit (variable 70) is
  // clear; its boost-or-trim bit then means nothing.
  int16_t boostMarker = 0;
  IdentEntry identEntry;
  // "Q1" units: the last model read is listed in "ident.ini" (identEntry is
  // its entry). Otherwise what the unit reports of itself stands.
  bool identMatched = false;
  uint8_t lastModelByte = 0;  // binary: byte 15 of the previous reply
  // Last results of the voltage-table charge estimate, on line and on
  // battery; -1 before the first.
  int32_t chargeOnLine = -1;
  int32_t chargeOnBattery = -1;
};

struct LinkContext {
  StatusRecord* record = nullptr;
  Clock* clock = nullptr;
  int protocolFamily = kFamilyNone;
  // Binary protocol: 1 or 2, as the last reply showed; 3 for "Q1" set C.
  int protocolVariant = 0;
  std::string identPath;  // full path of "ident.ini" in the program's folder
  DecoderState decoder;
  // Monotonic ms at which command 369 last started a battery test.
  int64_t testStartedMs = 0;
  // Restore time given by the last restore-time command, used by the next
  // switch-off command of the binary and "Q1" protocols; -1 none.
  int32_t pendingRestoreSeconds = -1;
};

}  // namespace orvik
