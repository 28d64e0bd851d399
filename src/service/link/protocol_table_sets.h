// The constant table sets behind buildProtocolTables, and the short helpers
// the set files use so that each row reads like the protocol's own notes:
// var(3, 1) is variable 3 with sub-index 1, w(5) a width of 5 characters,
// ref(1), values({...}), range(a, b), linear(...) and map({...}) the checks.
// Only the table set files and protocol_tables.cc include this.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

#include "service/link/protocol_tables.h"

namespace orvik {

// Poll flags of the listed commands for protocols 5 to 9 (polled[0] is protocol 5).
struct ModelPollFlags {
  std::array<std::string_view, 12> commands{};  // ends at the first empty entry
  std::array<int16_t, 5> polled{};
};

// A set without rows for a group does not define that group.
struct TableSet {
  std::span<const CommandRecord> group1{};
  std::span<const CommandRecord> group2{};
  std::span<const CommandRecord> group3{};
  std::span<const CommandRecord> group4{};
  std::span<const ModelPollFlags> modelPollFlags{};
};

extern const TableSet kBinaryTableSet;
extern const TableSet kQ1TableSetA;
extern const TableSet kQ1TableSetB;
extern const TableSet kQ1TableSetC;
extern const TableSet kTwoLetterTableSet;

namespace table_notation {

constexpr uint32_t var(uint32_t number, uint32_t sub = 0) { return number | (sub << 16); }
constexpr uint32_t constant(uint32_t number, uint32_t sub = 0) {
  return var(number, sub) | (uint32_t{1} << 24);
}

// Width in bits of a field of count characters.
constexpr int16_t w(int count) { return static_cast<int16_t>(count * 8); }

// The reference value status and selector fields are compared with.
constexpr FieldCheck ref(int16_t reference) {
  return {.checkMode = CheckMode::paramCheck, .valueTable = {1, reference}};
}

constexpr FieldCheck values(std::initializer_list<int16_t> allowed) {
  FieldCheck check{.checkMode = CheckMode::paramCheck};
  check.valueTable[0] = static_cast<int16_t>(allowed.size());
  int i = 1;
  for (int16_t value : allowed) check.valueTable[i++] = value;
  return check;
}

constexpr FieldCheck range(int16_t minimum, int16_t maximum) {
  return {.checkMode = CheckMode::paramCheck, .valueTable = {kRangeCount, minimum, maximum}};
}

constexpr FieldCheck linear(int16_t rawMin, int16_t rawMax, int16_t resultMin, int16_t resultMax) {
  return {.checkMode = CheckMode::linearMap,
          .valueTable = {0, rawMin, rawMax, resultMin, resultMax}};
}

constexpr FieldCheck map(std::initializer_list<int16_t> stored) {
  FieldCheck check{.checkMode = CheckMode::map};
  int i = 0;
  for (int16_t value : stored) check.valueTable[i++] = value;
  return check;
}

}  // namespace table_notation
}  // namespace orvik
