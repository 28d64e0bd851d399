// The two-letter text protocol (protocols 5 to 9): one short command per
// value, replies ending in "\r\n". All four groups exist; the models differ
// only in which commands they answer, so the poll flags are set per protocol
// after the set is copied.
#include "service/link/protocol_table_sets.h"

namespace orvik {
namespace {

using namespace table_notation;
using enum Conversion;
using enum SendKind;

// The rows are laid out by hand, one reply field or command per row.
// clang-format off

// Group 1: one value per command, polled every lap.
//
// > "BS\r\n"           battery status code
// < "01\r\n"
//    1234
constexpr FieldRecord kBatteryStatusFields[] = {
    {.variableId = var(44), .column = 1, .widthBits = w(4), .conversion = dec,
     .check = map({1, 2, 0, 0})},
    {.variableId = var(45), .column = 1, .widthBits = w(4), .conversion = dec,
     .check = map({1, 3, 0, 0})},
    {.variableId = var(47), .column = 1, .widthBits = w(4), .conversion = dec,
     .check = map({1, 4, 0, 0}), .endMarker = "\r"},
};

// > "BV\r\n"  < "272\r\n"      battery voltage
constexpr FieldRecord kBatteryVoltageFields[] = {
    {.variableId = var(3, 3), .column = 1, .widthBits = kUpToMarker, .conversion = dec,
     .endMarker = "\r"},
};

// > "BT\r\n"  < "31\r\n"       battery temperature
constexpr FieldRecord kBatteryTemperatureFields[] = {
    {.variableId = var(9, 3), .column = 1, .widthBits = kUpToMarker, .conversion = dec,
     .endMarker = "\r"},
};

// > "NF\r\n"  < "500\r\n"      input frequency
// > "NV\r\n"  < "230\r\n"      input voltage
// > "OF\r\n"  < "500\r\n"      output frequency
// > "OV\r\n"  < "230\r\n"      output voltage
// > "OL\r\n"  < "035\r\n"      load, percent
//              12345
constexpr FieldRecord kInputFrequencyFields[] = {
    {.variableId = var(5, 1), .column = 1, .widthBits = w(5), .conversion = dec,
     .endMarker = "\r"},
};
constexpr FieldRecord kInputVoltageFields[] = {
    {.variableId = var(3, 1), .column = 1, .widthBits = w(5), .conversion = dec,
     .endMarker = "\r"},
};
constexpr FieldRecord kOutputFrequencyFields[] = {
    {.variableId = var(5, 2), .column = 1, .widthBits = w(5), .conversion = dec,
     .endMarker = "\r"},
};
constexpr FieldRecord kOutputVoltageFields[] = {
    {.variableId = var(3, 2), .column = 1, .widthBits = w(5), .conversion = dec,
     .endMarker = "\r"},
};
constexpr FieldRecord kLoadFields[] = {
    {.variableId = var(8), .column = 1, .widthBits = w(5), .conversion = dec,
     .endMarker = "\r"},
};

// > "OS\r\n"           output source code
// < "03\r\n"
//    1234
constexpr FieldRecord kOutputSourceFields[] = {
    {.variableId = var(39), .column = 1, .widthBits = w(4), .conversion = dec, .check = ref(3)},
    {.variableId = var(42), .column = 1, .widthBits = w(4), .conversion = dec, .check = ref(4)},
    {.variableId = var(40), .column = 1, .widthBits = w(4), .conversion = dec, .check = ref(6)},
    {.variableId = var(41), .column = 1, .widthBits = w(4), .conversion = dec, .check = ref(7),
     .endMarker = "\r"},
};

// > "AG\r\n"           alarm group: two hex digits, one bit per condition
// < "08\r\n"
//    1234
constexpr FieldRecord kAlarmFields[] = {
    {.variableId = var(46), .column = 1.1, .widthBits = 1, .conversion = hex, .check = ref(1)},
    {.variableId = var(71), .column = 1.2, .widthBits = 1, .conversion = hex, .check = ref(1)},
    {.variableId = var(47), .column = 1.4, .widthBits = 1, .conversion = hex, .check = ref(1)},
    {.variableId = var(34), .column = 2.1, .widthBits = 1, .conversion = hex, .check = ref(1)},
    {.variableId = var(43), .column = 2.2, .widthBits = 1, .conversion = hex, .check = ref(1)},
    {.variableId = var(72), .column = 2.3, .widthBits = 1, .conversion = hex, .check = ref(1)},
    {.variableId = var(32), .column = 2.4, .widthBits = 1, .conversion = hex, .check = ref(1),
     .endMarker = "\r"},
};

// > "TR\r\n"           test result code 1 to 6
// < "001\r\n"
//    12345
constexpr FieldRecord kTestResultFields[] = {
    {.variableId = var(27), .column = 1, .widthBits = w(3), .conversion = dec, .check = ref(1)},
    {.variableId = var(80), .column = 1, .widthBits = w(3), .conversion = dec, .check = ref(2)},
    {.variableId = var(81), .column = 1, .widthBits = w(3), .conversion = dec, .check = ref(3)},
    {.variableId = var(82), .column = 1, .widthBits = w(3), .conversion = dec, .check = ref(4)},
    {.variableId = var(83), .column = 1, .widthBits = w(3), .conversion = dec, .check = ref(5)},
    {.variableId = var(84), .column = 1, .widthBits = w(3), .conversion = dec, .check = ref(6),
     .endMarker = "\r"},
};

constexpr CommandRecord kPollCommands[] = {
    {.commandText = "BS", .sendKind = asText, .commandTerminator = "\r\n", .replyLength = 4,
     .commandNumber = 0, .pollEnabled = 1, .fields = kBatteryStatusFields},
    {.commandText = "BV", .sendKind = asText, .commandTerminator = "\r\n",
     .replyLength = kUnknownLength, .commandNumber = 0, .pollEnabled = 1,
     .fields = kBatteryVoltageFields},
    {.commandText = "BT", .sendKind = asText, .commandTerminator = "\r\n",
     .replyLength = kUnknownLength, .commandNumber = 0, .pollEnabled = 1,
     .fields = kBatteryTemperatureFields},
    {.commandText = "NF", .sendKind = asText, .commandTerminator = "\r\n", .replyLength = 5,
     .commandNumber = 0, .pollEnabled = 1, .fields = kInputFrequencyFields},
    {.commandText = "NV", .sendKind = asText, .commandTerminator = "\r\n", .replyLength = 5,
     .commandNumber = 0, .pollEnabled = 1, .fields = kInputVoltageFields},
    {.commandText = "OF", .sendKind = asText, .commandTerminator = "\r\n", .replyLength = 5,
     .commandNumber = 0, .pollEnabled = 1, .fields = kOutputFrequencyFields},
    {.commandText = "OV", .sendKind = asText, .commandTerminator = "\r\n", .replyLength = 6,
     .commandNumber = 0, .pollEnabled = 1, .fields = kOutputVoltageFields},
    {.commandText = "OL", .sendKind = asText, .commandTerminator = "\r\n", .replyLength = 5,
     .commandNumber = 0, .pollEnabled = 1, .fields = kLoadFields},
    {.commandText = "OS", .sendKind = asText, .commandTerminator = "\r\n", .replyLength = 4,
     .commandNumber = 0, .pollEnabled = 1, .fields = kOutputSourceFields},
    {.commandText = "AG", .sendKind = asText, .commandTerminator = "\r\n", .replyLength = 4,
     .commandNumber = 0, .pollEnabled = 1, .fields = kAlarmFields},
    {.commandText = "TR", .sendKind = asText, .commandTerminator = "\r\n",
     .replyLength = kUnknownLength, .commandNumber = 0, .pollEnabled = 1,
     .fields = kTestResultFields},
};

// Group 2: identity and nominal values.
//
// > "IM\r\n"  < "ACME-POWER\r\n"     manufacturer
// > "IO\r\n"  < "LINE-1500\r\n"      model
// > "IS\r\n"  < "B2\r\n"             firmware (its text also tells the models apart)
// > "IZ\r\n"  < "QX0012345\r\n"      serial number
constexpr FieldRecord kManufacturerFields[] = {
    {.variableId = var(49), .column = 1, .widthBits = kUpToMarker, .conversion = text,
     .endMarker = "\r"},
};
constexpr FieldRecord kModelFields[] = {
    {.variableId = var(50), .column = 1, .widthBits = kUpToMarker, .conversion = text,
     .endMarker = "\r"},
};
constexpr FieldRecord kFirmwareFields[] = {
    {.variableId = var(54), .column = 1, .widthBits = kUpToMarker, .conversion = text,
     .endMarker = "\r"},
};
constexpr FieldRecord kSerialNumberFields[] = {
    {.variableId = var(51), .column = 1, .widthBits = kUpToMarker, .conversion = text,
     .endMarker = "\r"},
};

// No exchange: the reply is the command text "1", one input line, then one output line.
constexpr FieldRecord kInputLinesFields[] = {
    {.variableId = var(68, 1), .column = 1, .widthBits = w(1), .conversion = dec},
};
constexpr FieldRecord kOutputLinesFields[] = {
    {.variableId = var(68, 2), .column = 1, .widthBits = w(1), .conversion = dec},
};

// > "FV\r\n"  < "230\r\n"      nominal input voltage
// > "FF\r\n"  < "500\r\n"      nominal input frequency
// > "FO\r\n"  < "230\r\n"      nominal output voltage
// > "FR\r\n"  < "500\r\n"      nominal output frequency
//              12345
// > "FA\r\n"  < "1500\r\n"     rated VA
// > "FP\r\n"  < "1050\r\n"     rated W
// > "ON\r\n"  < "02\r\n"       outlet count
constexpr FieldRecord kNominalInputVoltageFields[] = {
    {.variableId = var(11, 1), .column = 1, .widthBits = w(5), .conversion = dec,
     .endMarker = "\r"},
};
constexpr FieldRecord kNominalInputFrequencyFields[] = {
    {.variableId = var(13, 1), .column = 1, .widthBits = w(5), .conversion = dec,
     .endMarker = "\r"},
};
constexpr FieldRecord kNominalOutputVoltageFields[] = {
    {.variableId = var(11, 2), .column = 1, .widthBits = w(5), .conversion = dec,
     .endMarker = "\r"},
};
constexpr FieldRecord kNominalOutputFrequencyFields[] = {
    {.variableId = var(13, 2), .column = 1, .widthBits = w(5), .conversion = dec,
     .endMarker = "\r"},
};
constexpr FieldRecord kRatedVaFields[] = {
    {.variableId = var(14), .column = 1, .widthBits = kUpToMarker, .conversion = dec,
     .endMarker = "\r"},
};
constexpr FieldRecord kRatedPowerFields[] = {
    {.variableId = var(15), .column = 1, .widthBits = kUpToMarker, .conversion = dec,
     .endMarker = "\r"},
};
constexpr FieldRecord kOutletCountFields[] = {
    {.variableId = var(73), .column = 1, .widthBits = w(4), .conversion = dec,
     .endMarker = "\r"},
};

constexpr CommandRecord kIdentityCommands[] = {
    {.commandText = "IM", .sendKind = asText, .commandTerminator = "\r\n",
     .replyLength = kUnknownLength, .commandNumber = 0, .pollEnabled = 1,
     .fields = kManufacturerFields},
    {.commandText = "IO", .sendKind = asText, .commandTerminator = "\r\n",
     .replyLength = kUnknownLength, .commandNumber = 0, .pollEnabled = 1, .fields = kModelFields},
    {.commandText = "IS", .sendKind = asText, .commandTerminator = "\r\n",
     .replyLength = kUnknownLength, .commandNumber = 0, .pollEnabled = 1,
     .fields = kFirmwareFields},
    {.commandText = "IZ", .sendKind = asText, .commandTerminator = "\r\n",
     .replyLength = kUnknownLength, .commandNumber = 0, .pollEnabled = 1,
     .fields = kSerialNumberFields},
    {.commandText = "1", .sendKind = noExchange, .commandTerminator = "", .replyLength = 1,
     .commandNumber = 0, .pollEnabled = 1, .fields = kInputLinesFields},
    {.commandText = "1", .sendKind = noExchange, .commandTerminator = "", .replyLength = 1,
     .commandNumber = 0, .pollEnabled = 1, .fields = kOutputLinesFields},
    {.commandText = "FV", .sendKind = asText, .commandTerminator = "\r\n", .replyLength = 5,
     .commandNumber = 0, .pollEnabled = 1, .fields = kNominalInputVoltageFields},
    {.commandText = "FF", .sendKind = asText, .commandTerminator = "\r\n", .replyLength = 5,
     .commandNumber = 0, .pollEnabled = 1, .fields = kNominalInputFrequencyFields},
    {.commandText = "FO", .sendKind = asText, .commandTerminator = "\r\n", .replyLength = 5,
     .commandNumber = 0, .pollEnabled = 1, .fields = kNominalOutputVoltageFields},
    {.commandText = "FR", .sendKind = asText, .commandTerminator = "\r\n", .replyLength = 40,
     .commandNumber = 0, .pollEnabled = 1, .fields = kNominalOutputFrequencyFields},
    {.commandText = "FA", .sendKind = asText, .commandTerminator = "\r\n",
     .replyLength = kUnknownLength, .commandNumber = 0, .pollEnabled = 1,
     .fields = kRatedVaFields},
    {.commandText = "FP", .sendKind = asText, .commandTerminator = "\r\n",
     .replyLength = kUnknownLength, .commandNumber = 0, .pollEnabled = 1,
     .fields = kRatedPowerFields},
    {.commandText = "ON", .sendKind = asText, .commandTerminator = "\r\n", .replyLength = 4,
     .commandNumber = 0, .pollEnabled = 1, .fields = kOutletCountFields},
};

// Group 3: settings, read back after every control command.
//
// > "BD\r\n"  < "00120\r\n"    battery setting
//              1234567
// > "CA\r\n"  < "1\r\n"        automatic restart
constexpr FieldRecord kBatterySettingFields[] = {
    {.variableId = var(55), .column = 1, .widthBits = w(7), .conversion = dec,
     .endMarker = "\r"},
};
constexpr FieldRecord kAutoRestartFields[] = {
    {.variableId = var(60), .column = 1, .widthBits = kUpToMarker, .conversion = dec,
     .check = ref(1), .endMarker = "\r"},
    {.variableId = var(61), .column = 1, .widthBits = kUpToMarker, .conversion = dec,
     .endMarker = "\r"},
};

// > "FU\r\n"  < "02\r\n"       audible alarm code 1 to 4
//              1234
constexpr FieldRecord kAudibleFields[] = {
    {.variableId = var(56), .column = 1, .widthBits = w(4), .conversion = dec, .check = ref(1)},
    {.variableId = var(57), .column = 1, .widthBits = w(4), .conversion = dec, .check = ref(2)},
    {.variableId = var(58), .column = 1, .widthBits = w(4), .conversion = dec, .check = ref(3)},
    {.variableId = var(59), .column = 1, .widthBits = w(4), .conversion = dec, .check = ref(4),
     .endMarker = "\r"},
};

// > "FL\r\n"  < "093\r\n"      low transfer voltage
// > "FH\r\n"  < "145\r\n"      high transfer voltage
// > "FT\r\n"  < "240\r\n"      nominal battery voltage
//              12345
// > "FB\r\n"  < "05\r\n"       low-battery warning, minutes
constexpr FieldRecord kLowTransferFields[] = {
    {.variableId = var(22), .column = 1, .widthBits = w(5), .conversion = dec,
     .check = values({89, 91, 93, 96}), .endMarker = "\r"},
};
constexpr FieldRecord kHighTransferFields[] = {
    {.variableId = var(23), .column = 1, .widthBits = w(5), .conversion = dec,
     .check = values({142, 145, 148, 151}), .endMarker = "\r"},
};
constexpr FieldRecord kNominalBatteryFields[] = {
    {.variableId = var(11, 3), .column = 1, .widthBits = w(5), .conversion = dec,
     .endMarker = "\r"},
};
constexpr FieldRecord kLowBatteryWarningFields[] = {
    {.variableId = var(67), .column = 1, .widthBits = w(4), .conversion = dec,
     .check = values({2, 5}), .endMarker = "\r"},
};

// > "OI1\r\n" < "1\r\n"        outlet 1 state (OI2 outlet 2)
// > "OM1\r\n" < "1\r\n"        outlet 1 setting (OM2 outlet 2)
//              123
// > "OA1\r\n" < "02\r\n"       outlet 1 setting, 0 to 3 (OA2 outlet 2)
//              1234
// > "OD1\r\n" < "3\r\n"        outlet 1 setting, 1, 3, 6 or 9 (OD2 outlet 2)
//              123
constexpr FieldRecord kOutlet1StateFields[] = {
    {.variableId = var(160), .column = 1, .widthBits = w(3), .conversion = dec,
     .check = ref(1), .endMarker = "\r"},
};
constexpr FieldRecord kOutlet2StateFields[] = {
    {.variableId = var(161), .column = 1, .widthBits = w(3), .conversion = dec,
     .check = ref(1), .endMarker = "\r"},
};
constexpr FieldRecord kOutlet1ModeFields[] = {
    {.variableId = var(192), .column = 1, .widthBits = w(3), .conversion = dec,
     .check = ref(1), .endMarker = "\r"},
};
constexpr FieldRecord kOutlet2ModeFields[] = {
    {.variableId = var(193), .column = 1, .widthBits = w(3), .conversion = dec,
     .check = ref(1), .endMarker = "\r"},
};
constexpr FieldRecord kOutletAFields[] = {
    {.variableId = var(224), .column = 1, .widthBits = w(4), .conversion = dec,
     .check = values({0, 1, 2, 3}), .endMarker = "\r"},
};
constexpr FieldRecord kOutletDFields[] = {
    {.variableId = var(240), .column = 1, .widthBits = w(3), .conversion = dec,
     .check = values({1, 3, 6, 9}), .endMarker = "\r"},
};

constexpr CommandRecord kSettingsCommands[] = {
    {.commandText = "BD", .sendKind = asText, .commandTerminator = "\r\n", .replyLength = 7,
     .commandNumber = 0, .pollEnabled = 1, .fields = kBatterySettingFields},
    {.commandText = "CA", .sendKind = asText, .commandTerminator = "\r\n",
     .replyLength = kUnknownLength, .commandNumber = 0, .pollEnabled = 1,
     .fields = kAutoRestartFields},
    {.commandText = "FU", .sendKind = asText, .commandTerminator = "\r\n", .replyLength = 4,
     .commandNumber = 0, .pollEnabled = 1, .fields = kAudibleFields},
    {.commandText = "FL", .sendKind = asText, .commandTerminator = "\r\n", .replyLength = 5,
     .commandNumber = 0, .pollEnabled = 1, .fields = kLowTransferFields},
    {.commandText = "FH", .sendKind = asText, .commandTerminator = "\r\n", .replyLength = 5,
     .commandNumber = 0, .pollEnabled = 1, .fields = kHighTransferFields},
    {.commandText = "FT", .sendKind = asText, .commandTerminator = "\r\n", .replyLength = 5,
     .commandNumber = 0, .pollEnabled = 1, .fields = kNominalBatteryFields},
    {.commandText = "FB", .sendKind = asText, .commandTerminator = "\r\n", .replyLength = 4,
     .commandNumber = 0, .pollEnabled = 1, .fields = kLowBatteryWarningFields},
    {.commandText = "OI1", .sendKind = asText, .commandTerminator = "\r\n", .replyLength = 3,
     .commandNumber = 0, .pollEnabled = 1, .fields = kOutlet1StateFields},
    {.commandText = "OI2", .sendKind = asText, .commandTerminator = "\r\n", .replyLength = 3,
     .commandNumber = 0, .pollEnabled = 1, .fields = kOutlet2StateFields},
    {.commandText = "OM1", .sendKind = asText, .commandTerminator = "\r\n", .replyLength = 3,
     .commandNumber = 0, .pollEnabled = 1, .fields = kOutlet1ModeFields},
    {.commandText = "OM2", .sendKind = asText, .commandTerminator = "\r\n", .replyLength = 3,
     .commandNumber = 0, .pollEnabled = 1, .fields = kOutlet2ModeFields},
    {.commandText = "OA1", .sendKind = asText, .commandTerminator = "\r\n", .replyLength = 4,
     .commandNumber = 0, .pollEnabled = 1, .fields = kOutletAFields},
    {.commandText = "OA2", .sendKind = asText, .commandTerminator = "\r\n", .replyLength = 4,
     .commandNumber = 0, .pollEnabled = 1, .fields = kOutletAFields},
    {.commandText = "OD1", .sendKind = asText, .commandTerminator = "\r\n", .replyLength = 3,
     .commandNumber = 0, .pollEnabled = 1, .fields = kOutletDFields},
    {.commandText = "OD2", .sendKind = asText, .commandTerminator = "\r\n", .replyLength = 3,
     .commandNumber = 0, .pollEnabled = 1, .fields = kOutletDFields},
};

// Group 4: control commands, composed from their fields with the value
// written from column 3; the replies are not decoded.
//
// > "Fb05\r\n"         low-battery warning 5 minutes
// > "Fl093\r\n"        low transfer voltage 93 V
// > "Bd00120\r\n"      battery setting 120
// > "Cs0000300\r\n"    switch off after 300 s
// > "Oi11\r\n"         outlet index 1, on (index + 10 x state)
// > "Ts\r\n"           start a battery test
//    12345678901
constexpr FieldRecord kSetLowBatteryWarningFields[] = {
    {.variableId = var(67), .column = 3, .widthBits = w(4), .conversion = dec,
     .check = values({2, 5}), .endMarker = "\r\n"},
};
constexpr FieldRecord kSetAudibleFields[] = {
    {.variableId = var(56), .column = 3, .widthBits = w(3), .conversion = dec, .check = ref(1)},
    {.variableId = var(57), .column = 3, .widthBits = w(3), .conversion = dec, .check = ref(2),
     .endMarker = "\r\n"},
};
constexpr FieldRecord kSetLowTransferFields[] = {
    {.variableId = var(22), .column = 3, .widthBits = w(5), .conversion = dec,
     .check = values({89, 91, 93, 96}), .endMarker = "\r\n"},
};
constexpr FieldRecord kSetHighTransferFields[] = {
    {.variableId = var(23), .column = 3, .widthBits = w(5), .conversion = dec,
     .check = values({142, 145, 148, 151}), .endMarker = "\r\n"},
};
constexpr FieldRecord kSetBatterySettingFields[] = {
    {.variableId = var(55), .column = 3, .widthBits = w(7), .conversion = dec,
     .check = range(0, 32000), .endMarker = "\r\n"},
};
constexpr FieldRecord kSwitchOffFields[] = {
    {.variableId = var(26), .column = 3, .widthBits = w(9), .conversion = dec,
     .check = range(-1, 32000), .endMarker = "\r\n"},
};
constexpr FieldRecord kRestoreFields[] = {
    {.variableId = var(25), .column = 3, .widthBits = w(9), .conversion = dec,
     .check = range(-1, 32000), .endMarker = "\r\n"},
};
constexpr FieldRecord kSetAutoRestartFields[] = {
    {.variableId = var(60), .column = 3, .widthBits = w(4), .conversion = dec},
    {.variableId = var(61), .column = 3, .widthBits = w(4), .conversion = dec,
     .endMarker = "\r\n"},
};
constexpr FieldRecord kSetShutdownTypeFields[] = {
    {.variableId = var(62), .column = 3, .widthBits = w(4), .conversion = dec},
    {.variableId = var(63), .column = 3, .widthBits = w(4), .conversion = dec,
     .endMarker = "\r\n"},
};
constexpr FieldRecord kTestFields[] = {
    {.variableId = var(0), .column = 1, .widthBits = w(4), .conversion = dec,
     .endMarker = "\r\n"},
};
constexpr FieldRecord kSetCrFields[] = {
    {.variableId = var(70), .column = 3, .widthBits = w(4), .conversion = dec,
     .endMarker = "\r\n"},
};
constexpr FieldRecord kSwitchOutletFields[] = {
    {.variableId = var(160), .column = 3, .widthBits = w(4), .conversion = dec,
     .endMarker = "\r\n"},
};
constexpr FieldRecord kSetOutletModeFields[] = {
    {.variableId = var(192), .column = 3, .widthBits = w(4), .conversion = dec,
     .endMarker = "\r\n"},
};
constexpr FieldRecord kSetOutletAFields[] = {
    {.variableId = var(224), .column = 3, .widthBits = w(4), .conversion = dec,
     .endMarker = "\r\n"},
};
constexpr FieldRecord kSetOutletDFields[] = {
    {.variableId = var(240), .column = 3, .widthBits = w(4), .conversion = dec,
     .endMarker = "\r\n"},
};

constexpr CommandRecord kControlCommands[] = {
    {.commandText = "Fb", .sendKind = asText, .commandTerminator = "", .replyLength = 6,
     .commandNumber = 407, .pollEnabled = 1, .fields = kSetLowBatteryWarningFields},
    {.commandText = "Fu", .sendKind = asText, .commandTerminator = "", .replyLength = 6,
     .commandNumber = 408, .pollEnabled = 1, .fields = kSetAudibleFields},
    {.commandText = "Fl", .sendKind = asText, .commandTerminator = "", .replyLength = 7,
     .commandNumber = 409, .pollEnabled = 1, .fields = kSetLowTransferFields},
    {.commandText = "Fh", .sendKind = asText, .commandTerminator = "", .replyLength = 7,
     .commandNumber = 410, .pollEnabled = 1, .fields = kSetHighTransferFields},
    {.commandText = "Bd", .sendKind = asText, .commandTerminator = "", .replyLength = 9,
     .commandNumber = 4132, .pollEnabled = 1, .fields = kSetBatterySettingFields},
    {.commandText = "Cs", .sendKind = asText, .commandTerminator = "", .replyLength = 11,
     .commandNumber = 386, .pollEnabled = 1, .fields = kSwitchOffFields},
    {.commandText = "Cu", .sendKind = asText, .commandTerminator = "", .replyLength = 11,
     .commandNumber = 387, .pollEnabled = 1, .fields = kRestoreFields},
    {.commandText = "Fa", .sendKind = asText, .commandTerminator = "", .replyLength = 6,
     .commandNumber = 389, .pollEnabled = 1, .fields = kSetAutoRestartFields},
    {.commandText = "Ct", .sendKind = asText, .commandTerminator = "", .replyLength = 6,
     .commandNumber = 385, .pollEnabled = 1, .fields = kSetShutdownTypeFields},
    {.commandText = "Ts", .sendKind = asText, .commandTerminator = "", .replyLength = 4,
     .commandNumber = 369, .pollEnabled = 1, .fields = kTestFields},
    {.commandText = "Cr", .sendKind = asText, .commandTerminator = "", .replyLength = 6,
     .commandNumber = 388, .pollEnabled = 1, .fields = kSetCrFields},
    {.commandText = "Oi", .sendKind = asText, .commandTerminator = "", .replyLength = 6,
     .commandNumber = 66145, .pollEnabled = 1, .fields = kSwitchOutletFields},
    {.commandText = "Om", .sendKind = asText, .commandTerminator = "", .replyLength = 6,
     .commandNumber = 66146, .pollEnabled = 1, .fields = kSetOutletModeFields},
    {.commandText = "Oa", .sendKind = asText, .commandTerminator = "", .replyLength = 6,
     .commandNumber = 66147, .pollEnabled = 1, .fields = kSetOutletAFields},
    {.commandText = "Od", .sendKind = asText, .commandTerminator = "", .replyLength = 6,
     .commandNumber = 66148, .pollEnabled = 1, .fields = kSetOutletDFields},
};

// The commands each model answers (1 = polled). Commands not listed are
// polled on every model.
//                                      protocol  5  6  7  8  9
constexpr ModelPollFlags kModelPollFlags[] = {
    {.commands = {"BT"},                  .polled = {1, 0, 1, 1, 1}},
    {.commands = {"TR"},                  .polled = {0, 1, 1, 1, 1}},
    {.commands = {"IZ"},                  .polled = {0, 1, 1, 1, 0}},
    {.commands = {"ON"},                  .polled = {0, 0, 1, 1, 0}},
    {.commands = {"BD"},                  .polled = {0, 1, 1, 1, 0}},
    {.commands = {"CA", "FU", "FT"},      .polled = {0, 1, 1, 1, 1}},
    {.commands = {"FL", "FH", "FB", "OI1", "OI2", "OM1", "OM2", "OA1", "OA2", "OD1", "OD2"},
     .polled = {0, 0, 1, 1, 0}},
};

// clang-format on

}  // namespace

extern const TableSet kTwoLetterTableSet = {
    .group1 = kPollCommands,
    .group2 = kIdentityCommands,
    .group3 = kSettingsCommands,
    .group4 = kControlCommands,
    .modelPollFlags = kModelPollFlags,
};

}  // namespace orvik
