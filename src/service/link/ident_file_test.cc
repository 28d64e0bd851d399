#include "service/link/ident_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

#include "service/link/link_test_support.h"
#include "shared/status_record.h"

namespace orvik {
namespace {

using link_test::repositoryFile;

class IdentLookup : public ::testing::Test {
 protected:
  IdentLookup() {
    record->serviceFlags = 0x47;
    ctx.record = record.get();
    ctx.identPath = repositoryFile("data/ident.ini");
  }

  // A file of this test's own, with "\r\n" line ends.
  void useFile(const std::string& lines) {
    ctx.identPath = ::testing::TempDir() +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini";
    std::ofstream out(ctx.identPath, std::ios::binary);
    std::size_t start = 0;
    for (std::size_t end; (end = lines.find('\n', start)) != std::string::npos; start = end + 1) {
      out << lines.substr(start, end - start) << "\r\n";
    }
  }

  std::string model() const { return ctx.decoder.identEntry.model; }

  std::unique_ptr<StatusRecord> record = std::make_unique<StatusRecord>();
  LinkContext ctx;
};

TEST_F(IdentLookup, BinaryKeysMatchTheMostSpecificEntryListedFirst) {
  struct Case {
    const char *key1, *key2, *key3, *model;
  };
  const Case cases[] = {
      {"4B", "50", "01", "SMART 1000 XL"}, {"4B", "50", "02", "SMART 1000"},
      {"4B", "80", "01", "SMART 2000"},    {"4B", "99", "00", "SMART 700"},
      {"4F", "00", "00", "BACK 400"},      {"4F", "00", "01", "BACK 650"},
      {"4F", "60", "00", "BACK 1200"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key1) + "," + c.key2 + "," + c.key3);
    ASSERT_TRUE(identLookup(ctx, kFamilyBinary, c.key1, c.key2, c.key3));
    EXPECT_EQ(model(), c.model);
  }
}

TEST_F(IdentLookup, AMatchFillsTheEntryTheModelClassAndServiceFlagBit8) {
  ASSERT_TRUE(identLookup(ctx, kFamilyQ1, "CELL-800", "", ""));
  const IdentEntry& e = ctx.decoder.identEntry;
  EXPECT_STREQ(e.manufacturer, "ACME-POWER");
  EXPECT_STREQ(e.model, "CELL 800");
  EXPECT_EQ(e.ratedVa, 800);
  EXPECT_EQ(e.ratedW, 480);
  EXPECT_EQ(e.nominalBatteryVoltage, 120);
  EXPECT_EQ(ctx.decoder.modelKind, 0);
  EXPECT_EQ(record->serviceFlags, 0x147);

  ASSERT_TRUE(identLookup(ctx, kFamilyQ1, "ONLINE-6000", "", ""));
  EXPECT_EQ(ctx.decoder.identEntry.nominalBatteryVoltage, 2400);
  EXPECT_EQ(ctx.decoder.modelKind, 1);
  EXPECT_EQ(record->serviceFlags, 0x47);
}

TEST_F(IdentLookup, NoMatchKeepsTheLastEntry) {
  ASSERT_TRUE(identLookup(ctx, kFamilyQ1, "VALUE-2000", "", ""));
  EXPECT_FALSE(identLookup(ctx, kFamilyQ1, "VALUE-3000", "", ""));
  EXPECT_FALSE(identLookup(ctx, kFamilyQ1, "4B", "", "")) << "binary keys, wrong section";
  EXPECT_FALSE(identLookup(ctx, kFamilyQ1, "value-2000", "", "")) << "exact comparison";
  EXPECT_FALSE(identLookup(ctx, kFamilyTwoLetter, "VALUE-1000", "", ""));
  EXPECT_EQ(model(), "VALUE 2000");
  EXPECT_EQ(ctx.decoder.identEntry.ratedVa, 2000);
}

TEST_F(IdentLookup, FileWithoutVersion11OrWithoutTheFileFindsNothing) {
  const std::string entries = "Protocol: PROTOCOL2\nVALUE-1000, , , A, V, 1, 1, 1, 1\n";
  for (const std::string& version :
       {std::string(""), std::string("Version: 1.0\n"), std::string("Release 1.1\n")}) {
    useFile(version + entries);
    EXPECT_FALSE(identLookup(ctx, kFamilyQ1, "VALUE-1000", "", "")) << version;
  }
  useFile("Protocol: PROTOCOL2\nVALUE-1000, , , A, V, 1, 1, 1, 1\nVersion: 1.1\n");
  EXPECT_TRUE(identLookup(ctx, kFamilyQ1, "VALUE-1000", "", "")) << "anywhere in the file";
  ctx.identPath = ::testing::TempDir() + "no-such-ident.ini";
  EXPECT_FALSE(identLookup(ctx, kFamilyQ1, "VALUE-1000", "", ""));
  EXPECT_STREQ(ctx.decoder.identEntry.model, "V") << "the last match stays";
}

TEST_F(IdentLookup, ALineWithFewerThanThreeCommasEndsTheSection) {
  useFile(
      "Version: 1.1\n"
      "Protocol: PROTOCOL2\n"
      "  A-1 ,  ,  , Maker A ,  Model A  , 10 , 20 , 30 , 0  \n"
      "; B-1, C-1\n"
      "B-1, , , Maker B, Model B, 1, 1, 1, 1\n");
  ASSERT_TRUE(identLookup(ctx, kFamilyQ1, "A-1", "", ""));
  EXPECT_STREQ(ctx.decoder.identEntry.manufacturer, "Maker A");
  EXPECT_STREQ(ctx.decoder.identEntry.model, "Model A");
  EXPECT_EQ(ctx.decoder.identEntry.nominalBatteryVoltage, 30);
  EXPECT_FALSE(identLookup(ctx, kFamilyQ1, "B-1", "", ""));
}

TEST_F(IdentLookup, ShortEntriesAndOverlongLinesAreReadSafely) {
  useFile(
      "Version: 1.1\n"
      "Protocol: PROTOCOL2\n"
      "S-1, , , Maker S\n" +
      std::string(300, 'L') + ", , , M, X, 1, 1, 1, 1\n" +
      "L-1, , , Maker L, Model L, 1, 1, 1, 1\n");
  ASSERT_TRUE(identLookup(ctx, kFamilyQ1, "S-1", "", ""));
  EXPECT_STREQ(ctx.decoder.identEntry.model, "");
  EXPECT_EQ(ctx.decoder.identEntry.ratedVa, 0);
  // The long line is cut at 255 characters, before its first comma.
  EXPECT_FALSE(identLookup(ctx, kFamilyQ1, "L-1", "", ""));
}

TEST(IdentFixedReply, TheLineNamingAFieldsWholeVariableIdSuppliesTheReply) {
  const std::string sample = repositoryFile("data/ident.ini");
  const FieldRecord input[] = {{.variableId = 68 | 1 << 16}};
  const FieldRecord output[] = {{.variableId = 68 | 2 << 16}};
  const FieldRecord bypass[] = {{.variableId = 68 | 4 << 16}};
  std::string reply;
  EXPECT_TRUE(identFixedReply(sample, CommandRecord{.fields = input}, &reply));
  EXPECT_EQ(reply, "1");
  reply.clear();
  EXPECT_TRUE(identFixedReply(sample, CommandRecord{.fields = output}, &reply));
  EXPECT_EQ(reply, "1");
  // Reading stops at "Version:", the first line without two items.
  EXPECT_FALSE(identFixedReply(sample, CommandRecord{.fields = bypass}, &reply));
  EXPECT_FALSE(
      identFixedReply(::testing::TempDir() + "none.ini", CommandRecord{.fields = input}, &reply));

  const std::string path = ::testing::TempDir() + "fixed-reply.ini";
  std::ofstream(path, std::ios::binary) << "In <0X10044> <3>\r\nOut< 0x20044 >x< 2 phases >\r\n";
  EXPECT_TRUE(identFixedReply(path, CommandRecord{.fields = output}, &reply));
  EXPECT_EQ(reply, "2 phases");
  EXPECT_TRUE(identFixedReply(path, CommandRecord{.fields = input}, &reply));
  EXPECT_EQ(reply, "3");
}

}  // namespace
}  // namespace orvik
