#include "service/link/protocol_tables.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>

#include "shared/status_record.h"

namespace orvik {
namespace {

TEST(ProtocolTables, ProtocolNumberChoosesFamilyGroupsAndVariant) {
  struct Case {
    int protocol;
    int family;
    int variantAfter;  // the caller's variant starts at 7
    int counts[4];
  };
  const Case cases[] = {
      {1, 1, 7, {1, -1, -1, 3}},   {2, 2, 7, {1, 3, -1, 3}},     {3, 2, 7, {2, 3, -1, 3}},
      {4, 2, 3, {2, 3, -1, 3}},    {5, 5, 7, {11, 13, 15, 15}},  {9, 5, 7, {11, 13, 15, 15}},
      {0, 0, 7, {-1, -1, -1, -1}}, {10, 0, 7, {-1, -1, -1, -1}}, {-3, 0, 7, {-1, -1, -1, -1}},
  };
  ProtocolTables tables;
  for (const Case& c : cases) {
    SCOPED_TRACE("protocol " + std::to_string(c.protocol));
    // Built over the richest set first, so nothing may survive from it.
    int family = -1, variant = 7;
    buildProtocolTables(7, tables, family, variant, nullptr);
    buildProtocolTables(c.protocol, tables, family, variant, nullptr);
    EXPECT_EQ(family, c.family);
    EXPECT_EQ(variant, c.variantAfter);
    for (int g = 1; g <= 4; ++g) {
      EXPECT_EQ(tables.group(g).count, c.counts[g - 1]) << "group " << g;
      EXPECT_EQ(tables.group(g).command(c.counts[g - 1] + 1), nullptr) << "group " << g;
    }
  }
}

TEST(ProtocolTables, GroupAndCommandAccessStopAtTheirBounds) {
  ProtocolTables tables;
  int family = 0, variant = 0;
  buildProtocolTables(2, tables, family, variant, nullptr);
  EXPECT_EQ(tables.group(0).count, -1);
  EXPECT_EQ(tables.group(5).count, -1);
  EXPECT_EQ(tables.group(5).command(1), nullptr);
  EXPECT_EQ(tables.group(2).command(0), nullptr);
  EXPECT_EQ(tables.group(2).command(-1), nullptr);
  ASSERT_NE(tables.group(2).command(3), nullptr);
  EXPECT_STREQ(tables.group(2).command(3)->commandText, "F");
  EXPECT_EQ(tables.group(2).command(4), nullptr);
}

TEST(ProtocolTables, FreeLeavesNoGroupToEnter) {
  ProtocolTables tables;
  int family = 0, variant = 0;
  buildProtocolTables(6, tables, family, variant, nullptr);
  freeProtocolTables(tables);
  for (int g = 1; g <= 4; ++g) {
    EXPECT_EQ(tables.group(g).count, -1);
    EXPECT_EQ(tables.group(g).command(1), nullptr);
  }
  EXPECT_EQ(findCommandByNumber(tables.group(4), 386), nullptr);
}

TEST(ProtocolTables, FindCommandByNumberLooksOnlyAtTheCurrentProtocolsControlCommands) {
  struct Case {
    int protocol;
    uint32_t number;
    const char* command;  // nullptr: none
  };
  const Case cases[] = {
      {1, 369, "3"},      {1, 386, "188"},     {1, 387, "4"},      {1, 388, nullptr},
      {2, 369, "T"},      {3, 386, "S"},       {4, 387, "R"},      {4, 388, nullptr},
      {2, 4132, nullptr}, {2, 66145, nullptr}, {5, 407, "Fb"},     {6, 408, "Fu"},
      {7, 409, "Fl"},     {8, 410, "Fh"},      {9, 4132, "Bd"},    {5, 386, "Cs"},
      {5, 387, "Cu"},     {5, 389, "Fa"},      {5, 385, "Ct"},     {5, 369, "Ts"},
      {5, 388, "Cr"},     {5, 66145, "Oi"},    {5, 66146, "Om"},   {5, 66147, "Oa"},
      {5, 66148, "Od"},   {5, 401, nullptr},   {5, 4118, nullptr}, {5, 0, nullptr},
      {0, 369, nullptr},
  };
  ProtocolTables tables;
  for (const Case& c : cases) {
    SCOPED_TRACE("protocol " + std::to_string(c.protocol) + " number " + std::to_string(c.number));
    int family = 0, variant = 0;
    // The two-letter set first, so a stale control command would be found.
    buildProtocolTables(5, tables, family, variant, nullptr);
    buildProtocolTables(c.protocol, tables, family, variant, nullptr);
    const CommandRecord* found = findCommandByNumber(tables.group(4), c.number);
    if (c.command == nullptr) {
      EXPECT_EQ(found, nullptr);
    } else {
      ASSERT_NE(found, nullptr);
      EXPECT_STREQ(found->commandText, c.command);
    }
  }
}

TEST(ProtocolTables, FindCommandByNumberReturnsTheFirstMatch) {
  ProtocolTables tables;
  int family = 0, variant = 0;
  buildProtocolTables(3, tables, family, variant, nullptr);
  // Both poll commands carry number 0; the first is the one found.
  EXPECT_EQ(findCommandByNumber(tables.group(1), 0), tables.group(1).command(1));
}

TEST(ProtocolTables, FieldBitReadsTheTenthsDigitDespiteFloatRounding) {
  for (int column = 1; column <= 64; ++column) {
    for (int bit = 0; bit <= 8; ++bit) {
      FieldRecord field{.column = static_cast<float>(column + bit / 10.0)};
      EXPECT_EQ(fieldColumn(field), column) << column << "." << bit;
      EXPECT_EQ(fieldBit(field), bit) << column << "." << bit;
    }
  }
}

class TwoLetterCapabilities : public ::testing::Test {
 protected:
  void SetUp() override {
    record_ = std::make_unique<StatusRecord>();
    std::memset(record_.get(), 0, sizeof(StatusRecord));
    // Values and stale allowed entries the build must not keep or touch.
    for (Param* p : params()) {
      p->value = 42;
      for (int16_t& a : p->allowed) a = 77;
    }
    record_->rebootWithDuration.value = 42;
  }

  std::array<Param*, 8> params() {
    StatusRecord& r = *record_;
    return {&r.shutdownType, &r.shutdownAfterDelay, &r.autoRestart,         &r.confLowBatt,
            &r.confAudible,  &r.lowTransferVoltage, &r.highTransferVoltage, &r.confInVolt};
  }

  static void expectList(const Param& p, std::initializer_list<int16_t> allowed) {
    EXPECT_EQ(p.value, 42);
    EXPECT_EQ(p.capability, static_cast<int16_t>(allowed.size()));
    int i = 0;
    for (int16_t a : allowed) EXPECT_EQ(p.allowed[i++], a);
    for (; i < 8; ++i) EXPECT_EQ(p.allowed[i], 0) << "stale entry " << i;
  }

  std::unique_ptr<StatusRecord> record_;
};

TEST_F(TwoLetterCapabilities, BuildingATwoLetterProtocolFillsWhatTheUpsAllows) {
  ProtocolTables tables;
  int family = 0, variant = 0;
  buildProtocolTables(8, tables, family, variant, record_.get());
  const StatusRecord& r = *record_;
  expectList(r.shutdownType, {1, 2});
  EXPECT_EQ(r.shutdownAfterDelay.value, 42);
  EXPECT_EQ(r.shutdownAfterDelay.capability, -2);
  EXPECT_EQ(r.shutdownAfterDelay.allowed[0], -1);
  EXPECT_EQ(r.shutdownAfterDelay.allowed[1], 32000);
  EXPECT_EQ(r.rebootWithDuration.value, 42);
  EXPECT_EQ(r.rebootWithDuration.capability, -2);
  EXPECT_EQ(r.rebootWithDuration.lowerBound, -1);
  EXPECT_EQ(r.rebootWithDuration.upperBound, 9999999);
  expectList(r.autoRestart, {1, 2});
  expectList(r.confLowBatt, {2, 5});
  expectList(r.confAudible, {1, 2});
  expectList(r.lowTransferVoltage, {89, 91, 93, 96});
  expectList(r.highTransferVoltage, {142, 145, 148, 151});
  // Not a parameter this protocol can set.
  EXPECT_EQ(r.confInVolt.capability, 0);
  EXPECT_EQ(r.confInVolt.allowed[0], 77);
}

TEST_F(TwoLetterCapabilities, OtherProtocolsLeaveTheCapabilitiesAlone) {
  ProtocolTables tables;
  for (int protocol : {1, 2, 3, 4, 0}) {
    int family = 0, variant = 0;
    buildProtocolTables(protocol, tables, family, variant, record_.get());
  }
  for (Param* p : params()) {
    EXPECT_EQ(p->capability, 0);
    EXPECT_EQ(p->allowed[0], 77);
  }
  EXPECT_EQ(record_->rebootWithDuration.capability, 0);
}

}  // namespace
}  // namespace orvik
