// The UPS protocols as data. Each of the nine protocol numbers maps to one of
// five constant table sets; building the tables for an identified protocol
// copies its set into a ProtocolTables value and applies the per-model poll
// flags. The poll cycle walks groups 1 to 3, the decoder applies each
// record's fields, and the command executor looks up group 4 by number.
//
// What lives here is the constant description and the result of building it.
// Run-time state of the poll cycle (the per-group enabled flags, the poll
// cursor, the link state) belongs to the poll cycle and is never touched by
// building.
//
// Threads: built, read and freed only on the poll task's thread.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace orvik {

struct StatusRecord;

// How a command goes out on the line.
enum class SendKind : int16_t {
  asText = 1,       // commandText as it is
  decimalByte = 2,  // one byte whose value is commandText read as decimal
  nothing = 3,      // nothing is sent
  hexByte = 4,      // one byte whose value is commandText read as hexadecimal
  noExchange = 6,   // the reply is commandText itself, or from "ident.ini" when empty
};

// How the characters cut out for a field become a value.
enum class Conversion : int16_t {
  text = 1,  // kept as it is
  byte = 2,  // the first byte's value, 0-255
  dec = 3,   // decimal number
  hex = 4,   // hexadecimal number
  bits = 5,  // character k (from 0) adds (character - '0') << k
};

enum class CheckMode : uint16_t {
  map = 1,         // valueTable[n] is stored for raw value n
  paramCheck = 2,  // valueTable[0] = count (negative: range), then values or min, max
  linearMap = 6,   // valueTable[1..4] = raw min, raw max, result min, result max
  none = 0xffff,
};

// Entry 0 of a parameter check's value table for a range.
inline constexpr int16_t kRangeCount = -2;
// widthBits of a field that runs up to its endMarker.
inline constexpr int16_t kUpToMarker = -1;
// replyLength when the reply's length is not known beforehand.
inline constexpr int16_t kUnknownLength = -1;

struct FieldCheck {
  CheckMode checkMode = CheckMode::none;
  std::array<int16_t, 8> valueTable{};
};

// variableId layout: bits 0-15 the variable number, bits 16-23 the sub-index
// (1 input, 2 output, 3 battery, 4 bypass; 0 none), bits 24-31 = 1 for a
// constant field, which extracts nothing from the reply.
constexpr uint32_t variableNumber(uint32_t variableId) { return variableId & 0xffff; }
constexpr uint32_t subIndex(uint32_t variableId) { return (variableId >> 16) & 0xff; }
constexpr bool isConstantField(uint32_t variableId) { return (variableId >> 24) == 1; }

// One field of a reply. Columns count from 1 at the record's startColumn.
struct FieldRecord {
  uint32_t variableId = 0;
  // Integer part: the column of the field's first byte; tenths digit 1-8:
  // the bit number of a bit field, 1 being the least significant bit.
  float column = 0;
  // 8 per character; 1-8 for a bit field; kUpToMarker: up to endMarker.
  int16_t widthBits = 0;
  Conversion conversion{};
  FieldCheck check{};
  uint16_t composePart = 0;  // 0, 1, 2 or 4; read only by the binary command composer
  float scale = 1;           // applied when the value is stored
  // On the first field of a record: text the whole reply must contain.
  char mustContain[8] = {};
  // Ends a kUpToMarker field; on the last field, what the reply must end with.
  char endMarker[10] = {};
};

// The column and bit number encoded in FieldRecord::column.
constexpr int fieldColumn(const FieldRecord& field) { return static_cast<int>(field.column); }
constexpr int fieldBit(const FieldRecord& field) {
  return static_cast<int>(field.column * 10 + 0.5f) % 10;
}

// One command: what to send, how to check the reply, which fields to extract.
struct CommandRecord {
  char commandText[80] = {};
  SendKind sendKind{};
  // Appended to the command; its last character ends the reply. Empty: none.
  char commandTerminator[8] = {};
  int16_t replyLength = 0;                // expected reply bytes; kUnknownLength
  uint32_t commandNumber = 0;             // 0 for poll commands; the control number in group 4
  int16_t pollEnabled = 1;                // 0: the poll cycle skips this command
  std::span<const FieldRecord> fields{};  // in reply order; fields.size() is the field count
  // Text the reply must begin with at startColumn, compared without case.
  char replyPrefix[8] = {};
  int16_t startColumn = 1;  // 1-based column where prefix check and field columns start
};

inline constexpr int kCommandGroupCount = 4;
inline constexpr int kMaxGroupCommands = 16;

// Group 1: measurements and status, polled every lap. Group 2: identity and
// nominal values, read once after identification or a link loss. Group 3:
// settings, read once after those and after every executed control command.
// Group 4: control commands, never polled.
struct CommandGroup {
  int32_t count = -1;  // -1: the protocol has no such group
  std::array<CommandRecord, kMaxGroupCommands> commands{};

  // Command 1..count, or nullptr outside that range (the end of the group).
  const CommandRecord* command(int index) const {
    return index >= 1 && index <= count ? &commands[index - 1] : nullptr;
  }
};

struct ProtocolTables {
  CommandGroup groups[kCommandGroupCount];

  // Group 1..4; any other number gives a group that does not exist.
  const CommandGroup& group(int number) const;
};

// Replaces tables with the set of protocolNumber (1 binary, 2-4 "Q1" sets A,
// B and C, 5-9 the two-letter set with that model's poll flags). Sets
// protocolFamily (1, 2 or 5; 0 and no groups for any other number) and, for
// protocol 4, protocolVariant = 3. For protocols 5-9 also fills the capability
// part of the record's parameters when record is given.
void buildProtocolTables(int protocolNumber, ProtocolTables& tables, int& protocolFamily,
                         int& protocolVariant, StatusRecord* record);

// Leaves every group undefined (count -1).
void freeProtocolTables(ProtocolTables& tables);

// The first of commands 1..count of group whose commandNumber matches, or nullptr.
const CommandRecord* findCommandByNumber(const CommandGroup& group, uint32_t commandNumber);

// Writes what the two-letter protocol allows for each settable parameter
// into the capability part (capability and allowed values or bounds) of the
// record; the values themselves are left alone. Each member is one atomic
// store, since the management pages read the record at any time.
void fillTwoLetterCapabilities(StatusRecord& record);

}  // namespace orvik
