#include "service/link/poll_cursor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvik {
namespace {

std::vector<std::string> walk(PollCursor& cursor, const ProtocolTables& tables, int count) {
  std::vector<std::string> sent;
  for (int i = 0; i < count; ++i) {
    const CommandRecord* command = cursor.nextTableCommand(tables);
    sent.push_back(command ? command->commandText : "(none)");
  }
  return sent;
}

std::vector<std::string> join(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

ProtocolTables tablesOf(int protocol) {
  ProtocolTables tables;
  int family = 0, variant = 0;
  buildProtocolTables(protocol, tables, family, variant, nullptr);
  return tables;
}

TEST(PollCursor, GroupOneEveryLapGroupsTwoAndThreeOnceUnpolledCommandsPassedOver) {
  // Protocol 5 polls nothing of group 3: it is entered and left at once.
  const std::vector<std::string> lap5 = {"BS", "BV", "BT", "NF", "NV",
                                         "OF", "OV", "OL", "OS", "AG"};
  const std::vector<std::string> once5 = {"IM", "IO", "IS", "1",  "1", "FV",
                                          "FF", "FO", "FR", "FA", "FP"};
  ProtocolTables tables = tablesOf(5);
  PollCursor five;
  EXPECT_EQ(walk(five, tables, 31), join({lap5, once5, lap5}));
  five.enableGroup(2);
  five.enableGroup(3);
  EXPECT_EQ(walk(five, tables, 21), join({once5, lap5}));

  // Protocol 7 polls all of group 3, where the walk starts.
  const std::vector<std::string> settings7 = {"BD",  "CA",  "FU",  "FL",  "FH",  "FT",  "FB", "OI1",
                                              "OI2", "OM1", "OM2", "OA1", "OA2", "OD1", "OD2"};
  const std::vector<std::string> lap7 = join({lap5, {"TR"}});
  const std::vector<std::string> once7 = {"IM", "IO", "IS", "IZ", "1",  "1", "FV",
                                          "FF", "FO", "FR", "FA", "FP", "ON"};
  tables = tablesOf(7);
  PollCursor seven;
  const std::vector<std::string> got = walk(seven, tables, 15 + 11 + 13 + 15 + 11 + 11);
  EXPECT_EQ(got, join({settings7, lap7, once7, settings7, lap7, lap7}));
}

TEST(PollCursor, TablesWithoutPolledCommandsGiveNothingInsteadOfHanging) {
  ProtocolTables tables = tablesOf(2);
  for (CommandGroup& group : tables.groups) {
    for (int i = 0; i < group.count; ++i) group.commands[i].pollEnabled = 0;
  }
  PollCursor cursor;
  EXPECT_EQ(cursor.nextTableCommand(tables), nullptr);
  EXPECT_EQ(cursor.nextTableCommand(ProtocolTables{}), nullptr);
}

}  // namespace
}  // namespace orvik
