// The "Q1" text protocols (protocols 2, 3 and 4): sets A, B and C. B adds an
// outlet status command to A's status poll and reads the model one column
// earlier; C is B with a longer status reply and two more status digits.
// None of them has a settings group.
#include "service/link/protocol_table_sets.h"

namespace orvik {
namespace {

using namespace table_notation;
using enum Conversion;
using enum SendKind;

// The rows are laid out by hand, one reply field or command per row.
// clang-format off

// > "Q1\r"
// < "(230.0 230.0 229.0 021 50.0 2.27 35.0 00001001 3\r"
//    1        10        20        30        40        50
//    1234567890123456789012345678901234567890123456789
// Input voltage (the reply must contain "("), output voltage, load, input
// frequency, battery voltage per cell, temperature; one status digit per
// column from 39; column 48 a fault code, 1 to 7.
constexpr FieldRecord kStatusFieldsA[] = {
    {.variableId = var(3, 1), .column = 2, .widthBits = w(5), .conversion = text,
     .mustContain = "("},
    {.variableId = var(3, 2), .column = 14, .widthBits = w(5), .conversion = text},
    {.variableId = var(8), .column = 20, .widthBits = kUpToMarker, .conversion = dec,
     .endMarker = " "},
    {.variableId = var(5, 1), .column = 24, .widthBits = kUpToMarker, .conversion = text,
     .scale = 10, .endMarker = " "},
    {.variableId = var(3, 3), .column = 29, .widthBits = w(4), .conversion = text,
     .scale = 10},
    {.variableId = var(9, 3), .column = 34, .widthBits = kUpToMarker, .conversion = text,
     .endMarker = " "},
    {.variableId = var(43), .column = 39, .widthBits = w(1), .conversion = dec, .check = ref(1)},
    {.variableId = var(71), .column = 39, .widthBits = w(1), .conversion = dec, .check = ref(1)},
    {.variableId = var(45), .column = 40, .widthBits = w(1), .conversion = dec, .check = ref(1)},
    {.variableId = var(41), .column = 41, .widthBits = w(1), .conversion = dec, .check = ref(1)},
    {.variableId = var(39), .column = 41, .widthBits = w(1), .conversion = dec, .check = ref(0)},
    {.variableId = var(29), .column = 42, .widthBits = w(1), .conversion = dec, .check = ref(1)},
    {.variableId = var(70), .column = 43, .widthBits = w(1), .conversion = dec, .check = ref(1)},
    {.variableId = var(83), .column = 44, .widthBits = w(1), .conversion = dec, .check = ref(1)},
    {.variableId = var(27), .column = 44, .widthBits = w(1), .conversion = dec, .check = ref(0)},
    {.variableId = var(72), .column = 48, .widthBits = w(1), .conversion = dec, .check = ref(1)},
    {.variableId = var(34), .column = 48, .widthBits = w(1), .conversion = dec, .check = ref(2)},
    {.variableId = var(79), .column = 48, .widthBits = w(1), .conversion = dec, .check = ref(3)},
    {.variableId = var(32), .column = 48, .widthBits = w(1), .conversion = dec, .check = ref(4)},
    {.variableId = var(78), .column = 48, .widthBits = w(1), .conversion = dec, .check = ref(5)},
    {.variableId = var(33), .column = 48, .widthBits = w(1), .conversion = dec, .check = ref(6)},
    {.variableId = var(46), .column = 48, .widthBits = w(1), .conversion = dec, .check = ref(7),
     .endMarker = "\r"},
};

// > "Q1\r"
// < "(230.0 230.0 229.0 021 50.0 2.27 35.0 00001001\r"
//    1        10        20        30        40
//    12345678901234567890123456789012345678901234567
// As set A up to column 44, without the fault code.
constexpr FieldRecord kStatusFieldsB[] = {
    {.variableId = var(3, 1), .column = 2, .widthBits = w(5), .conversion = text,
     .mustContain = "("},
    {.variableId = var(3, 2), .column = 14, .widthBits = w(5), .conversion = text},
    {.variableId = var(8), .column = 20, .widthBits = kUpToMarker, .conversion = dec,
     .endMarker = " "},
    {.variableId = var(5, 1), .column = 24, .widthBits = kUpToMarker, .conversion = text,
     .scale = 10, .endMarker = " "},
    {.variableId = var(3, 3), .column = 29, .widthBits = w(4), .conversion = text,
     .scale = 10},
    {.variableId = var(9, 3), .column = 34, .widthBits = kUpToMarker, .conversion = text,
     .endMarker = " "},
    {.variableId = var(43), .column = 39, .widthBits = w(1), .conversion = dec, .check = ref(1)},
    {.variableId = var(71), .column = 39, .widthBits = w(1), .conversion = dec, .check = ref(1)},
    {.variableId = var(45), .column = 40, .widthBits = w(1), .conversion = dec, .check = ref(1)},
    {.variableId = var(41), .column = 41, .widthBits = w(1), .conversion = dec, .check = ref(1)},
    {.variableId = var(39), .column = 41, .widthBits = w(1), .conversion = dec, .check = ref(0)},
    {.variableId = var(29), .column = 42, .widthBits = w(1), .conversion = dec, .check = ref(1)},
    {.variableId = var(70), .column = 43, .widthBits = w(1), .conversion = dec, .check = ref(1)},
    {.variableId = var(83), .column = 44, .widthBits = w(1), .conversion = dec, .check = ref(1)},
    {.variableId = var(27), .column = 44, .widthBits = w(1), .conversion = dec, .check = ref(0),
     .endMarker = "\r"},
};

// > "Q1\r"
// < "(230.0 230.0 229.0 021 50.0 2.27 35.0 00001001 000 0000\r"
//    1        10        20        30        40        50
//    12345678901234567890123456789012345678901234567890123456
// As set B, and two more status digits in columns 49 and 50.
constexpr FieldRecord kStatusFieldsC[] = {
    {.variableId = var(3, 1), .column = 2, .widthBits = w(5), .conversion = text,
     .mustContain = "("},
    {.variableId = var(3, 2), .column = 14, .widthBits = w(5), .conversion = text},
    {.variableId = var(8), .column = 20, .widthBits = kUpToMarker, .conversion = dec,
     .endMarker = " "},
    {.variableId = var(5, 1), .column = 24, .widthBits = kUpToMarker, .conversion = text,
     .scale = 10, .endMarker = " "},
    {.variableId = var(3, 3), .column = 29, .widthBits = w(4), .conversion = text,
     .scale = 10},
    {.variableId = var(9, 3), .column = 34, .widthBits = kUpToMarker, .conversion = text,
     .endMarker = " "},
    {.variableId = var(43), .column = 39, .widthBits = w(1), .conversion = dec, .check = ref(1)},
    {.variableId = var(71), .column = 39, .widthBits = w(1), .conversion = dec, .check = ref(1)},
    {.variableId = var(45), .column = 40, .widthBits = w(1), .conversion = dec, .check = ref(1)},
    {.variableId = var(41), .column = 41, .widthBits = w(1), .conversion = dec, .check = ref(1)},
    {.variableId = var(39), .column = 41, .widthBits = w(1), .conversion = dec, .check = ref(0)},
    {.variableId = var(29), .column = 42, .widthBits = w(1), .conversion = dec, .check = ref(1)},
    {.variableId = var(70), .column = 43, .widthBits = w(1), .conversion = dec, .check = ref(1)},
    {.variableId = var(83), .column = 44, .widthBits = w(1), .conversion = dec, .check = ref(1)},
    {.variableId = var(27), .column = 44, .widthBits = w(1), .conversion = dec, .check = ref(0)},
    {.variableId = var(32), .column = 49, .widthBits = w(1), .conversion = dec, .check = ref(1)},
    {.variableId = var(32), .column = 50, .widthBits = w(1), .conversion = dec, .check = ref(1),
     .endMarker = "\r"},
};

// > "OI\r"
// < "#0210\r"
//    123456
// Outlet count, then the state of outlets 1 and 2.
constexpr FieldRecord kOutletFields[] = {
    {.variableId = var(73), .column = 2, .widthBits = w(2), .conversion = dec},
    {.variableId = var(160), .column = 4, .widthBits = w(1), .conversion = dec},
    {.variableId = var(161), .column = 5, .widthBits = w(1), .conversion = dec,
     .endMarker = "\r"},
};

// > "I\r"
// < "#ACME-POWER      VALUE-1000 V01.02.0003\r"
//    1        10        20        30        40
//    1234567890123456789012345678901234567890
// Manufacturer up to the first blank, model in 18-28, firmware from 29.
constexpr FieldRecord kIdentityFieldsA[] = {
    {.variableId = var(49), .column = 2, .widthBits = kUpToMarker, .conversion = text,
     .mustContain = "#", .endMarker = " "},
    {.variableId = var(50), .column = 18, .widthBits = w(11), .conversion = text},
    {.variableId = var(54), .column = 29, .widthBits = kUpToMarker, .conversion = text,
     .endMarker = "\r"},
};

// > "I\r"
// < "#ACME-POWER     ONLINE-3000 V01.02.0003\r"
//    1        10        20        30        40
//    1234567890123456789012345678901234567890
// As set A with the model in 17-28.
constexpr FieldRecord kIdentityFieldsB[] = {
    {.variableId = var(49), .column = 2, .widthBits = kUpToMarker, .conversion = text,
     .mustContain = "#", .endMarker = " "},
    {.variableId = var(50), .column = 17, .widthBits = w(12), .conversion = text},
    {.variableId = var(54), .column = 29, .widthBits = kUpToMarker, .conversion = text,
     .endMarker = "\r"},
};

// No exchange: the reply is the command text "1", one input and one output line.
constexpr FieldRecord kLineCountFields[] = {
    {.variableId = var(68, 1), .column = 1, .widthBits = w(1), .conversion = text},
    {.variableId = var(68, 2), .column = 1, .widthBits = w(1), .conversion = text},
};

// > "F\r"
// < "#230.0 004 24.00 50.0\r"
//    1        10        20
//    1234567890123456789012
// Nominal input and output voltage, nominal battery voltage, nominal input
// and output frequency.
constexpr FieldRecord kRatingFields[] = {
    {.variableId = var(11, 1), .column = 2, .widthBits = w(5), .conversion = text,
     .mustContain = "#"},
    {.variableId = var(11, 2), .column = 2, .widthBits = w(5), .conversion = text},
    {.variableId = var(11, 3), .column = 12, .widthBits = kUpToMarker, .conversion = text,
     .scale = 10, .endMarker = " "},
    {.variableId = var(13, 1), .column = 18, .widthBits = w(4), .conversion = text,
     .scale = 10},
    {.variableId = var(13, 2), .column = 18, .widthBits = w(4), .conversion = text,
     .scale = 10, .endMarker = "\r"},
};

// > "T\r"              start a battery test
constexpr FieldRecord kTestFields[] = {
    {.variableId = var(0), .column = 1, .widthBits = w(1), .conversion = text,
     .endMarker = "\r"},
};

// > "S05\r"            switch off after 5 minutes
//    1234
constexpr FieldRecord kSwitchOffFields[] = {
    {.variableId = var(26), .column = 2, .widthBits = w(2), .conversion = dec},
};

// > "R0010\r"          restore after 10 minutes
//    123456
constexpr FieldRecord kRestoreFields[] = {
    {.variableId = var(25), .column = 2, .widthBits = w(4), .conversion = dec,
     .check = values({0, 9999}), .endMarker = "\r"},
};

constexpr CommandRecord kPollCommandsA[] = {
    {.commandText = "Q1", .sendKind = asText, .commandTerminator = "\r", .replyLength = 48,
     .commandNumber = 0, .pollEnabled = 1, .fields = kStatusFieldsA},
};

constexpr CommandRecord kPollCommandsB[] = {
    {.commandText = "OI", .sendKind = asText, .commandTerminator = "\r",
     .replyLength = kUnknownLength, .commandNumber = 0, .pollEnabled = 1, .fields = kOutletFields},
    {.commandText = "Q1", .sendKind = asText, .commandTerminator = "\r", .replyLength = 48,
     .commandNumber = 0, .pollEnabled = 1, .fields = kStatusFieldsB},
};

constexpr CommandRecord kPollCommandsC[] = {
    {.commandText = "OI", .sendKind = asText, .commandTerminator = "\r",
     .replyLength = kUnknownLength, .commandNumber = 0, .pollEnabled = 1, .fields = kOutletFields},
    {.commandText = "Q1", .sendKind = asText, .commandTerminator = "\r", .replyLength = 56,
     .commandNumber = 0, .pollEnabled = 1, .fields = kStatusFieldsC},
};

constexpr CommandRecord kIdentityCommandsA[] = {
    {.commandText = "I", .sendKind = asText, .commandTerminator = "\r", .replyLength = 40,
     .commandNumber = 0, .pollEnabled = 1, .fields = kIdentityFieldsA},
    {.commandText = "1", .sendKind = noExchange, .commandTerminator = "", .replyLength = 1,
     .commandNumber = 0, .pollEnabled = 1, .fields = kLineCountFields},
    {.commandText = "F", .sendKind = asText, .commandTerminator = "\r", .replyLength = 22,
     .commandNumber = 0, .pollEnabled = 1, .fields = kRatingFields},
};

constexpr CommandRecord kIdentityCommandsB[] = {
    {.commandText = "I", .sendKind = asText, .commandTerminator = "\r", .replyLength = 40,
     .commandNumber = 0, .pollEnabled = 1, .fields = kIdentityFieldsB},
    {.commandText = "1", .sendKind = noExchange, .commandTerminator = "", .replyLength = 1,
     .commandNumber = 0, .pollEnabled = 1, .fields = kLineCountFields},
    {.commandText = "F", .sendKind = asText, .commandTerminator = "\r", .replyLength = 22,
     .commandNumber = 0, .pollEnabled = 1, .fields = kRatingFields},
};

// "S" and "R" are never sent from here: the switch-off command of these
// protocols is composed by hand from both values.
constexpr CommandRecord kControlCommands[] = {
    {.commandText = "T", .sendKind = asText, .commandTerminator = "\r", .replyLength = 2,
     .commandNumber = 369, .pollEnabled = 1, .fields = kTestFields},
    {.commandText = "S", .sendKind = asText, .commandTerminator = "", .replyLength = 2,
     .commandNumber = 386, .pollEnabled = 0, .fields = kSwitchOffFields},
    {.commandText = "R", .sendKind = asText, .commandTerminator = "", .replyLength = 1,
     .commandNumber = 387, .pollEnabled = 0, .fields = kRestoreFields},
};

// clang-format on

}  // namespace

extern const TableSet kQ1TableSetA = {
    .group1 = kPollCommandsA,
    .group2 = kIdentityCommandsA,
    .group4 = kControlCommands,
};

extern const TableSet kQ1TableSetB = {
    .group1 = kPollCommandsB,
    .group2 = kIdentityCommandsB,
    .group4 = kControlCommands,
};

extern const TableSet kQ1TableSetC = {
    .group1 = kPollCommandsC,
    .group2 = kIdentityCommandsB,
    .group4 = kControlCommands,
};

}  // namespace orvik
