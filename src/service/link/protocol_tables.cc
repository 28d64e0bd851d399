#include "service/link/protocol_tables.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <string_view>

#include "service/link/protocol_table_sets.h"
#include "shared/record_access.h"
#include "shared/status_record.h"

namespace orvik {
namespace {

const CommandGroup kUndefinedGroup{};

struct ProtocolChoice {
  const TableSet* set;
  int family;
};

// Indexed by protocol number.
const ProtocolChoice kProtocols[] = {
    {nullptr, 0},
    {&kBinaryTableSet, 1},
    {&kQ1TableSetA, 2},
    {&kQ1TableSetB, 2},
    {&kQ1TableSetC, 2},
    {&kTwoLetterTableSet, 5},
    {&kTwoLetterTableSet, 5},
    {&kTwoLetterTableSet, 5},
    {&kTwoLetterTableSet, 5},
    {&kTwoLetterTableSet, 5},
};

ProtocolChoice chooseTableSet(int protocolNumber) {
  if (protocolNumber < 0 || protocolNumber >= static_cast<int>(std::size(kProtocols))) {
    return kProtocols[0];
  }
  return kProtocols[protocolNumber];
}

void copyGroup(std::span<const CommandRecord> rows, CommandGroup& group) {
  if (rows.empty()) return;
  // A set larger than a group would be our own bug; cut rather than overrun.
  const std::size_t count = std::min(rows.size(), group.commands.size());
  std::copy_n(rows.begin(), count, group.commands.begin());
  group.count = static_cast<int32_t>(count);
}

// Only the polled groups carry model differences; group 4 keeps its flags.
void applyModelPollFlags(std::span<const ModelPollFlags> flags, int protocolNumber,
                         ProtocolTables& tables) {
  const int model = protocolNumber - 5;
  for (const ModelPollFlags& row : flags) {
    for (std::string_view text : row.commands) {
      if (text.empty()) break;
      for (int g = 0; g < 3; ++g) {
        CommandGroup& group = tables.groups[g];
        for (int i = 0; i < group.count; ++i) {
          if (text == group.commands[i].commandText) {
            group.commands[i].pollEnabled = row.polled[model];
          }
        }
      }
    }
  }
}

void setAllowed(Param& param, std::initializer_list<int16_t> allowed) {
  storeField(param.capability, static_cast<int16_t>(allowed.size()));
  int i = 0;
  for (int16_t value : allowed) storeField(param.allowed[i++], value);
  for (; i < 8; ++i) storeField(param.allowed[i], 0);
}

void setRange(Param& param, int16_t lower, int16_t upper) {
  storeField(param.capability, kRangeCount);
  storeField(param.allowed[0], lower);
  storeField(param.allowed[1], upper);
  for (int i = 2; i < 8; ++i) storeField(param.allowed[i], 0);
}

}  // namespace

const CommandGroup& ProtocolTables::group(int number) const {
  if (number < 1 || number > kCommandGroupCount) return kUndefinedGroup;
  return groups[number - 1];
}

void freeProtocolTables(ProtocolTables& tables) {
  for (CommandGroup& group : tables.groups) group = CommandGroup{};
}

void buildProtocolTables(int protocolNumber, ProtocolTables& tables, int& protocolFamily,
                         int& protocolVariant, StatusRecord* record) {
  freeProtocolTables(tables);
  const ProtocolChoice choice = chooseTableSet(protocolNumber);
  protocolFamily = choice.family;
  if (choice.set == nullptr) return;

  const TableSet& set = *choice.set;
  copyGroup(set.group1, tables.groups[0]);
  copyGroup(set.group2, tables.groups[1]);
  copyGroup(set.group3, tables.groups[2]);
  copyGroup(set.group4, tables.groups[3]);
  if (!set.modelPollFlags.empty()) {
    applyModelPollFlags(set.modelPollFlags, protocolNumber, tables);
  }

  if (protocolNumber == 4) protocolVariant = 3;
  if (choice.family == 5 && record != nullptr) fillTwoLetterCapabilities(*record);
}

const CommandRecord* findCommandByNumber(const CommandGroup& group, uint32_t commandNumber) {
  for (int i = 1; const CommandRecord* command = group.command(i); ++i) {
    if (command->commandNumber == commandNumber) return command;
  }
  return nullptr;
}

void fillTwoLetterCapabilities(StatusRecord& record) {
  setAllowed(record.shutdownType, {1, 2});
  setRange(record.shutdownAfterDelay, -1, 32000);
  storeField(record.rebootWithDuration.capability, kRangeCount);
  storeField(record.rebootWithDuration.lowerBound, -1);
  storeField(record.rebootWithDuration.upperBound, 9999999);
  setAllowed(record.autoRestart, {1, 2});
  setAllowed(record.confLowBatt, {2, 5});
  setAllowed(record.confAudible, {1, 2});
  setAllowed(record.lowTransferVoltage, {89, 91, 93, 96});
  setAllowed(record.highTransferVoltage, {142, 145, 148, 151});
}

}  // namespace orvik
