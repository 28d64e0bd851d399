#include "service/link/ident_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

#include "service/link/link_test_support.h"

namespace orvik {
namespace {

struct IdentFixture {
  IdentFixture() {
    record->serviceFlags = 0x47;
    ctx.record = record.get();
    ctx.identPath = link_test::repositoryFile("data/ident.ini");
  }
  // A file of the running test's own.
  void useFile(const std::string& text) {
    ctx.identPath = ::testing::TempDir() +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini";
    std::ofstream(ctx.identPath, std::ios::binary) << text;
  }
  bool lookup(const char* key1, const char* key2 = "", const char* key3 = "") {
    return identLookup(ctx, key2[0] != '\0' ? kFamilyBinary : kFamilyQ1, key1, key2, key3);
  }
  std::string model() const { return ctx.decoder.identEntry.model; }

  std::unique_ptr<StatusRecord> record = std::make_unique<StatusRecord>();
  LinkContext ctx;
};

TEST(IdentLookup, KeysMatchTheFirstEntryWhoseGivenKeysAllAgree) {
  IdentFixture f;
  const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
      {"4B", "50", "01", "SMART 1000 XL"}, {"4B", "50", "02", "SMART 1000"},
      {"4B", "80", "01", "SMART 2000"},    {"4B", "99", "00", "SMART 700"},
      {"4F", "00", "00", "BACK 400"},      {"4F", "00", "01", "BACK 650"},
      {"VALUE-2000", "", "", "VALUE 2000"}};
  for (const auto& [key1, key2, key3, model] : cases) {
    EXPECT_TRUE(f.lookup(key1, key2, key3)) << key1 << key2 << key3;
    EXPECT_EQ(f.model(), model) << key1 << key2 << key3;
  }
  // No match keeps the last entry: other sections, case, unknown keys, family 5.
  EXPECT_FALSE(f.lookup("4B"));
  EXPECT_FALSE(f.lookup("value-1000"));
  EXPECT_FALSE(f.lookup("4C", "50", "01"));
  EXPECT_FALSE(identLookup(f.ctx, kFamilyTwoLetter, "VALUE-1000", "", ""));
  EXPECT_EQ(f.model(), "VALUE 2000");
}

TEST(IdentLookup, AMatchFillsTheEntryTheModelClassAndServiceFlagBit8) {
  IdentFixture f;
  ASSERT_TRUE(f.lookup("CELL-800"));
  const IdentEntry& e = f.ctx.decoder.identEntry;
  EXPECT_STREQ(e.manufacturer, "ACME-POWER");
  link_test::expectFields({{"VA", e.ratedVa, 800},
                           {"W", e.ratedW, 480},
                           {"battery", e.nominalBatteryVoltage, 120},
                           {"class", f.ctx.decoder.modelKind, 0},
                           {"flags", f.record->serviceFlags, 0x147}});
  ASSERT_TRUE(f.lookup("ONLINE-6000"));
  link_test::expectFields(
      {{"class", f.ctx.decoder.modelKind, 1}, {"flags", f.record->serviceFlags, 0x47}});
}

TEST(IdentLookup, TheFileNeedsVersion11AndASectionEndsAtALineWithFewerThanThreeCommas) {
  IdentFixture f;
  const std::string entries =
      "Protocol: PROTOCOL2\r\n  A-1 ,  ,  , Maker A ,  Model A  , 10 , 20 , 30 , 0  \r\n"
      "S-1, , , Maker S\r\n; B-1, C-1\r\nB-1, , , Maker B, Model B, 1, 1, 1, 1\r\n";
  for (const char* version : {"", "Version: 1.0\r\n", "Release 1.1\r\n"}) {
    f.useFile(version + entries);
    EXPECT_FALSE(f.lookup("A-1")) << version;
  }
  f.useFile(entries + "Version: 1.1\r\n");
  ASSERT_TRUE(f.lookup("A-1"));
  EXPECT_STREQ(f.ctx.decoder.identEntry.manufacturer, "Maker A");
  EXPECT_EQ(f.model(), "Model A");
  EXPECT_EQ(f.ctx.decoder.identEntry.nominalBatteryVoltage, 30);
  ASSERT_TRUE(f.lookup("S-1")) << "an entry cut short";
  EXPECT_EQ(f.model(), "");
  EXPECT_FALSE(f.lookup("B-1"));
  ASSERT_TRUE(f.lookup("A-1"));
  f.ctx.identPath = ::testing::TempDir() + "no-such-ident.ini";
  EXPECT_FALSE(f.lookup("A-1"));
  EXPECT_EQ(f.model(), "Model A") << "the last match stays";
}

TEST(IdentFixedReply, TheLineNamingAFieldsWholeVariableIdSuppliesTheReply) {
  const std::string sample = link_test::repositoryFile("data/ident.ini");
  const FieldRecord input[] = {{.variableId = 68 | 1 << 16}};
  const FieldRecord output[] = {{.variableId = 68 | 2 << 16}};
  const FieldRecord bypass[] = {{.variableId = 68 | 4 << 16}};
  std::string reply;
  EXPECT_TRUE(identFixedReply(sample, {.fields = input}, &reply));
  EXPECT_EQ(reply, "1");
  // Reading stops at "Version:", the first line without two items.
  EXPECT_FALSE(identFixedReply(sample, {.fields = bypass}, &reply));
  EXPECT_FALSE(identFixedReply(::testing::TempDir() + "none.ini", {.fields = input}, &reply));

  const std::string path = ::testing::TempDir() + "fixed-reply.ini";
  std::ofstream(path, std::ios::binary) << "In <0X10044> <3>\r\nOut< 0x20044 >x< 2 phases >\r\n";
  EXPECT_TRUE(identFixedReply(path, {.fields = output}, &reply));
  EXPECT_EQ(reply, "2 phases");
  EXPECT_TRUE(identFixedReply(path, {.fields = input}, &reply));
  EXPECT_EQ(reply, "3");
}

}  // namespace
}  // namespace orvik
