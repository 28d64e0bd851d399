#include "service/actions/message_catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace orvik {
namespace {

namespace fs = std::filesystem;

// Keeps parallel runs of the test binary out of each other's files.
std::string uniqueSuffix() { return std::to_string(std::random_device()()); }

// A fresh directory per test that holds the message files it writes.
class CatalogueFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           (std::string("orvik_catalogue_") + info->name() + "_" + uniqueSuffix());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  void write(const std::string& name, const std::string& contents) {
    std::ofstream(dir_ / name, std::ios::binary) << contents;
  }
  std::string directory() const { return dir_.string() + "/"; }
  int load(MessageCatalogue& catalogue, const char* locale = "English") {
    return catalogue.loadCatalogue(directory().c_str(), locale);
  }

  fs::path dir_;
};

TEST_F(CatalogueFiles, FieldsAreCutAtBracketsAndTrimmedOfBlanks) {
  write("msg.en",
        "<1><Power failure><Power failure at #HOSTNAME#><001>\r\n"
        "junk <  7 >  noise < Output overload >\t<  Overload on #HOSTNAME#  > <\t107 > tail\r\n"
        "<12x><a<b><><>\n");
  MessageCatalogue catalogue;
  ASSERT_EQ(load(catalogue), 1);
  EXPECT_TRUE(catalogue.loaded());
  EXPECT_EQ(catalogue.entryCount(), 3);
  EXPECT_STREQ(catalogue.catalogueText(1).chars(), "Power failure");
  EXPECT_STREQ(catalogue.noticeText(1).chars(), "Power failure at #HOSTNAME#");
  EXPECT_STREQ(catalogue.pagerText(1).chars(), "001");
  EXPECT_STREQ(catalogue.catalogueText(7).chars(), "Output overload");
  EXPECT_STREQ(catalogue.noticeText(7).chars(), "Overload on #HOSTNAME#");
  EXPECT_STREQ(catalogue.pagerText(7).chars(), "\t107");  // tabs are not blanks
  // A number field is read as far as it is a number; "<" may stand inside a field.
  EXPECT_STREQ(catalogue.catalogueText(12).chars(), "a<b");
  EXPECT_STREQ(catalogue.noticeText(12).chars(), "");
}

TEST_F(CatalogueFiles, LookupsOfMissingNumbersAndDuplicates) {
  write("msg.en", "<abc><zero><z0><0>\n<5><first><n1><p1>\n<5><second><n2><p2>\n");
  MessageCatalogue catalogue;
  ASSERT_EQ(load(catalogue), 1);
  EXPECT_STREQ(catalogue.catalogueText(0).chars(), "zero");  // not a number reads as 0
  EXPECT_STREQ(catalogue.catalogueText(5).chars(), "first");
  EXPECT_STREQ(catalogue.noticeText(5).chars(), "n1");
  EXPECT_STREQ(catalogue.pagerText(5).chars(), "p1");
  EXPECT_STREQ(catalogue.catalogueText(6).chars(), "not found");
  EXPECT_STREQ(catalogue.noticeText(6).chars(), "");
  EXPECT_STREQ(catalogue.pagerText(6).chars(), "");
  EXPECT_STREQ(catalogue.expandCatalogueMessage(6, "host", 5).chars(), "");
}

TEST_F(CatalogueFiles, ALineWithoutBracketEndsTheFileSuccessfully) {
  write("msg.en", "<1><one><n><p>\n\n<2><two><n><p>\n");
  MessageCatalogue catalogue;
  EXPECT_EQ(load(catalogue), 1);
  EXPECT_EQ(catalogue.entryCount(), 1);
  EXPECT_STREQ(catalogue.catalogueText(2).chars(), "not found");

  write("msg.en", "<1><one><n><p>\r\n\r\n<2><two><n><p>\r\n");
  MessageCatalogue crlf;
  EXPECT_EQ(load(crlf), 1);
  EXPECT_EQ(crlf.entryCount(), 1);
}

TEST_F(CatalogueFiles, EveryMissingBracketFailsTheLoadButKeepsEarlierEntries) {
  const std::string good = "<2><two><n2><p2>";
  for (size_t cut = 0; cut < good.size(); ++cut) {
    if (good[cut] != '<' && good[cut] != '>') continue;
    std::string bad = good;
    bad.erase(cut, 1);
    write("msg.en", "<1><one><n1><p1>\n" + bad + "\n<3><three><n3><p3>\n");
    MessageCatalogue catalogue;
    EXPECT_EQ(load(catalogue), 0) << bad;
    EXPECT_FALSE(catalogue.loaded());
    EXPECT_STREQ(catalogue.catalogueText(1).chars(), "one") << bad;
    EXPECT_STREQ(catalogue.catalogueText(3).chars(), "not found") << bad;
  }
}

TEST_F(CatalogueFiles, AFailedLoadIsRetriedRatherThanReportedAsLoaded) {
  write("msg.en", "<1><one><n1><p1>\n<2><broken\n");
  MessageCatalogue catalogue;
  ASSERT_EQ(load(catalogue), 0);
  write("msg.en", "<2><two><n2><p2>\n");
  ASSERT_EQ(load(catalogue), 1);
  EXPECT_EQ(catalogue.entryCount(), 1);
  EXPECT_STREQ(catalogue.catalogueText(1).chars(), "not found");
  EXPECT_STREQ(catalogue.catalogueText(2).chars(), "two");
}

TEST_F(CatalogueFiles, FileCutAtEveryLengthLoadsItsCompleteLinesOrFails) {
  const std::vector<std::string> lines = {"<1> <one> <n1> <p1>\r\n", "<101> <two> <n2> <p2>\r\n",
                                          "<801> <three> <n3> <p3>\r\n"};
  std::string whole;
  for (const std::string& line : lines) whole += line;
  for (size_t length = 0; length <= whole.size(); ++length) {
    write("msg.en", whole.substr(0, length));
    MessageCatalogue catalogue;
    const int result = load(catalogue);
    // Lines whose fourth ">" survived the cut are complete entries; a cut
    // between a line's first "<" and its fourth ">" is a broken line.
    int complete = 0;
    bool broken = false;
    size_t start = 0;
    for (const std::string& line : lines) {
      const size_t kept = length > start ? std::min(length - start, line.size()) : 0;
      const std::string part = line.substr(0, kept);
      if (std::count(part.begin(), part.end(), '>') == 4) {
        ++complete;
      } else if (part.find('<') != std::string::npos) {
        broken = true;
      }
      start += line.size();
    }
    ASSERT_EQ(result, broken ? 0 : 1) << "length " << length;
    ASSERT_EQ(catalogue.entryCount(), complete) << "length " << length;
    for (int i = 0; i < complete; ++i) {
      EXPECT_EQ(catalogue.entryAt(i).displayText.view(), i == 0 ? "one" : i == 1 ? "two" : "three");
    }
  }
}

TEST_F(CatalogueFiles, HoldsEveryNumberTheServiceUsesAndIgnoresEntriesPastTheLimit) {
  std::vector<int> numbers;
  for (int n = 0; n <= 127; ++n) {
    if (n <= 27 || n >= 100) numbers.push_back(n);
  }
  numbers.insert(numbers.end(), {200, 201, 202, 302, 304, 801});
  std::string file;
  for (int n : numbers) file += "<" + std::to_string(n) + "><m" + std::to_string(n) + "><><>\n";
  write("msg.en", file);
  MessageCatalogue complete;
  ASSERT_EQ(load(complete), 1);
  for (int n : numbers) EXPECT_EQ(complete.catalogueText(n).view(), "m" + std::to_string(n));

  // Past the limit nothing is read, not even a malformed line.
  file.clear();
  for (int n = 0; n < MessageCatalogue::kMaxEntries + 2; ++n) {
    file += "<" + std::to_string(n) + "><m" + std::to_string(n) + "><><>\n";
  }
  write("msg.en", file + "<999><no closing bracket\n");
  MessageCatalogue full;
  ASSERT_EQ(load(full), 1);
  EXPECT_EQ(full.entryCount(), MessageCatalogue::kMaxEntries);
  EXPECT_STREQ(full.catalogueText(MessageCatalogue::kMaxEntries).chars(), "not found");
}

TEST_F(CatalogueFiles, LanguageOfTheLocaleChoosesTheFile) {
  write("msg.en", "<1><Power failure><><>\n");
  write("msg.de", "<1><Stromausfall><><>\n");
  MessageCatalogue german;
  ASSERT_EQ(load(german, "de_DE.UTF-8"), 1);
  EXPECT_STREQ(german.languageCode(), "de");
  EXPECT_STREQ(german.catalogueText(1).chars(), "Stromausfall");

  MessageCatalogue french;
  EXPECT_EQ(load(french, "French_France.1252"), 0);  // no msg.fr here
  EXPECT_STREQ(french.languageCode(), "fr");
}

TEST_F(CatalogueFiles, LoadWhileLoadedKeepsTheCatalogueAndFreeForgetsIt) {
  write("msg.en", "<1><first file><><>\n");
  MessageCatalogue catalogue;
  ASSERT_EQ(load(catalogue), 1);
  write("msg.en", "<1><second file><><>\n");
  EXPECT_EQ(load(catalogue), 1);
  EXPECT_STREQ(catalogue.catalogueText(1).chars(), "first file");

  catalogue.freeCatalogue();
  EXPECT_FALSE(catalogue.loaded());
  EXPECT_STREQ(catalogue.catalogueText(1).chars(), "not found");
  ASSERT_EQ(load(catalogue), 1);
  EXPECT_STREQ(catalogue.catalogueText(1).chars(), "second file");
}

TEST_F(CatalogueFiles, MissingOrUnreadableFileFails) {
  MessageCatalogue missing;
  EXPECT_EQ(load(missing), 0);
  EXPECT_FALSE(missing.loaded());

  fs::create_directory(dir_ / "msg.en");
  MessageCatalogue directoryInstead;
  EXPECT_EQ(load(directoryInstead), 0);
}

TEST(ExpandMessage, FillsHostAndMinutesSeconds) {
  struct Case {
    const char* text;
    const char* host;
    int down;
    const char* expected;
  } cases[] = {
      {"#HOSTNAME# off in #DOWNTIME#", "alpha", 754, "alpha off in 12:34"},
      {"#DOWNTIME#", "h", -5, "0:00"},
      {"#DOWNTIME#", "h", 59, "0:59"},
      {"#DOWNTIME#/#DOWNTIME#", "h", 3600, "60:00/60:00"},
      {"#HOSTNAME##HOSTNAME#", "#HOSTNAME#", 0, "#HOSTNAME##HOSTNAME#"},
      {"no placeholders", "h", 12, "no placeholders"},
      {"#HOSTNAME#", nullptr, 0, ""},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(expandMessage(c.text, c.host, c.down).chars(), c.expected) << c.text;
  }
}

TEST_F(CatalogueFiles, CatalogueMessagesExpandTheirNoticeText) {
  write("msg.en",
        "<1><Power failure><#HOSTNAME#: down in #DOWNTIME#><001>\n"
        "<801><Power failure><#HOSTNAME#: every #DOWNTIME# s><>\n");
  MessageCatalogue catalogue;
  ASSERT_EQ(load(catalogue), 1);
  EXPECT_STREQ(catalogue.expandCatalogueMessage(1, "beta", 754).chars(), "beta: down in 12:34");
  EXPECT_STREQ(catalogue.expandCatalogueMessage(801, "beta", 754).chars(), "beta: every 754 s");
  EXPECT_STREQ(catalogue.expandCatalogueMessage(801, "beta", -1).chars(), "beta: every 0 s");
}

TEST(ProcessCatalogue, FreeFunctionsUseTheProcessWideInstance) {
  const fs::path dir = fs::temp_directory_path() / ("orvik_process_catalogue_" + uniqueSuffix());
  fs::create_directories(dir);
  // Whatever the test machine's locale, the file of its language is there.
  for (const char* code :
       {"en", "tw", "cn", "es", "fr", "de", "it", "ja", "ru", "ar", "cz", "pl", "bg"}) {
    std::ofstream(dir / (std::string("msg.") + code), std::ios::binary)
        << "<24><started " << code << "><n><p>\n";
  }
  ASSERT_EQ(loadCatalogue((dir.string() + "/").c_str()), 1);
  EXPECT_EQ(catalogueText(24).view(), std::string("started ") + languageCode());
  EXPECT_STREQ(noticeText(24).chars(), "n");
  EXPECT_STREQ(pagerText(24).chars(), "p");
  freeCatalogue();
  EXPECT_STREQ(catalogueText(24).chars(), "not found");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace orvik
