// The binary protocol (protocol 1): one poll command and three control
// commands, each a single byte; replies carry one value per byte. No
// identification or settings groups.
#include "service/link/protocol_table_sets.h"

namespace orvik {
namespace {

using namespace table_notation;
using enum Conversion;
using enum SendKind;

// The rows are laid out by hand, one reply field or command per row.
// clang-format off

// > 01
// < 21 5A 73 73 32 00 32 00 00 08 00 4F 59 00 00 01   (16 bytes, shown in hex)
//   1  2  3  4  5  6  7  8  9  10 11 12 13 14 15 16   column
// Load, battery charge, input and output voltage / 2, input and output
// frequency / 10; status bits in columns 10 and 11. Columns 12, 13 and 16
// identify the model and are read by the decoder from the whole reply.
constexpr FieldRecord kStatusFields[] = {
    {.variableId = constant(49)},
    {.variableId = constant(50)},
    {.variableId = var(8), .column = 1, .widthBits = w(1), .conversion = byte},
    {.variableId = var(3, 3), .column = 2, .widthBits = w(1), .conversion = byte,
     .check = linear(0, 100, 100, 136)},
    {.variableId = var(3, 1), .column = 3, .widthBits = w(1), .conversion = byte, .scale = 2},
    {.variableId = var(3, 2), .column = 4, .widthBits = w(1), .conversion = byte, .scale = 2},
    {.variableId = var(5, 1), .column = 5, .widthBits = w(1), .conversion = byte, .scale = 10},
    {.variableId = var(5, 2), .column = 7, .widthBits = w(1), .conversion = byte, .scale = 10},
    {.variableId = var(39), .column = 10.1, .widthBits = 1, .conversion = byte, .check = ref(0)},
    {.variableId = var(43), .column = 10.1, .widthBits = 1, .conversion = byte, .check = ref(1)},
    {.variableId = var(71), .column = 10.1, .widthBits = 1, .conversion = byte, .check = ref(1)},
    {.variableId = var(45), .column = 10.2, .widthBits = 1, .conversion = byte, .check = ref(1)},
    {.variableId = var(44), .column = 10.2, .widthBits = 1, .conversion = byte, .check = ref(0)},
    {.variableId = var(70), .column = 10.4, .widthBits = 1, .conversion = byte, .check = ref(0)},
    {.variableId = var(40), .column = 10.5, .widthBits = 1, .conversion = byte, .check = ref(1)},
    {.variableId = var(41), .column = 10.5, .widthBits = 1, .conversion = byte, .check = ref(0)},
    {.variableId = var(32), .column = 10.6, .widthBits = 1, .conversion = byte, .check = ref(1)},
    {.variableId = var(46), .column = 11.2, .widthBits = 1, .conversion = byte, .check = ref(1)},
    {.variableId = var(44), .column = 11.2, .widthBits = 1, .conversion = byte, .check = ref(0)},
    {.variableId = var(83), .column = 11.3, .widthBits = 1, .conversion = byte, .check = ref(1)},
    {.variableId = var(27), .column = 11.3, .widthBits = 1, .conversion = byte, .check = ref(0)},
    {.variableId = constant(68, 1)},
    {.variableId = constant(68, 2)},
    {.variableId = constant(11, 1)},
    {.variableId = constant(11, 2)},
    {.variableId = constant(11, 3)},
    {.variableId = constant(14)},
    {.variableId = constant(15)},
};

constexpr CommandRecord kPollCommands[] = {
    {.commandText = "1", .sendKind = decimalByte, .commandTerminator = "", .replyLength = 16,
     .commandNumber = 0, .pollEnabled = 1, .fields = kStatusFields},
};

// Control commands are composed from these fields; the replies are not decoded.
// > 03                 start a battery test
constexpr FieldRecord kTestFields[] = {
    {.variableId = var(0), .column = 1, .widthBits = w(1), .conversion = byte},
};

// > BC 00 1E           switch off after a delay: column 2 minutes, column 3 seconds
//   1  2  3
constexpr FieldRecord kSwitchOffFields[] = {
    {.variableId = var(26), .column = 2, .widthBits = w(1), .conversion = byte,
     .check = range(0, 60), .composePart = 2, .scale = 0.017},
    {.variableId = var(26), .column = 3, .widthBits = w(1), .conversion = byte,
     .check = range(0, 60), .composePart = 4},
};

// > 04 00 0A           restore time: column 2 the high part, column 3 minutes
//   1  2  3
constexpr FieldRecord kRestoreFields[] = {
    {.variableId = var(25), .column = 2, .widthBits = w(1), .conversion = byte,
     .check = range(0, 255), .composePart = 2, .scale = 0.00006536},
    {.variableId = var(25), .column = 3, .widthBits = w(1), .conversion = byte,
     .check = range(0, 255), .composePart = 4, .scale = 0.017},
};

constexpr CommandRecord kControlCommands[] = {
    {.commandText = "3", .sendKind = decimalByte, .commandTerminator = "", .replyLength = 1,
     .commandNumber = 369, .pollEnabled = 1, .fields = kTestFields},
    {.commandText = "188", .sendKind = decimalByte, .commandTerminator = "", .replyLength = 3,
     .commandNumber = 386, .pollEnabled = 1, .fields = kSwitchOffFields},
    {.commandText = "4", .sendKind = decimalByte, .commandTerminator = "", .replyLength = 3,
     .commandNumber = 387, .pollEnabled = 1, .fields = kRestoreFields},
};

// clang-format on

}  // namespace

extern const TableSet kBinaryTableSet = {
    .group1 = kPollCommands,
    .group4 = kControlCommands,
};

}  // namespace orvik
