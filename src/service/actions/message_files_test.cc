// Checks the message files that ship in data/: every language holds every
// number the service uses, and every text fits where the service puts it.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "service/actions/message_catalogue.h"
#include "shared/status_record.h"

namespace orvik {
namespace {

// The event log pads texts to this many bytes; longer texts lengthen the line
// and throw off the log's cut, which counts in whole lines.
constexpr size_t kEventLogTextBytes = 40;
// Record fields hold size - 1 bytes of text.
constexpr size_t kNoticeBytes = sizeof(EventAction{}.bnmMessage) - 1;
constexpr size_t kMailBytes = sizeof(EventAction{}.mailMessage) - 1;
constexpr size_t kPagerBytes = sizeof(EventAction{}.pageMessage) - 1;
constexpr size_t kLineBytes = 255;

struct Language {
  const char* code;
  const char* posixLocale;
};

constexpr Language kLanguages[] = {
    {"en", "en_US.UTF-8"}, {"tw", "zh_TW.UTF-8"}, {"cn", "zh_CN.UTF-8"}, {"es", "es_ES.UTF-8"},
    {"fr", "fr_FR.UTF-8"}, {"de", "de_DE.UTF-8"}, {"it", "it_IT.UTF-8"}, {"ja", "ja_JP.UTF-8"},
    {"ru", "ru_RU.UTF-8"}, {"ar", "ar_EG.UTF-8"}, {"cz", "cs_CZ.UTF-8"}, {"pl", "pl_PL.UTF-8"},
    {"bg", "bg_BG.UTF-8"},
};

bool isEvent(int number) {
  return (number >= 0 && number <= 27) || (number >= 100 && number <= 127);
}

std::set<int> numbersTheServiceUses() {
  std::set<int> numbers;
  for (int n = 0; n <= 127; ++n) {
    if (isEvent(n)) numbers.insert(n);
  }
  numbers.insert({200, 201, 202, 302, 304, 801});
  return numbers;
}

// Well-formed UTF-8: no stray continuation bytes, no sequence cut short, no
// overlong forms, surrogates or values past U+10FFFF.
bool isWellFormedUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char lead = static_cast<unsigned char>(s[i]);
    int extra;
    unsigned min;
    unsigned value;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if ((lead & 0xe0) == 0xc0) {
      extra = 1, min = 0x80, value = lead & 0x1f;
    } else if ((lead & 0xf0) == 0xe0) {
      extra = 2, min = 0x800, value = lead & 0x0f;
    } else if ((lead & 0xf8) == 0xf0) {
      extra = 3, min = 0x10000, value = lead & 0x07;
    } else {
      return false;
    }
    if (i + static_cast<size_t>(extra) >= s.size()) return false;
    for (int k = 1; k <= extra; ++k) {
      const unsigned char next = static_cast<unsigned char>(s[i + k]);
      if ((next & 0xc0) != 0x80) return false;
      value = (value << 6) | (next & 0x3f);
    }
    if (value < min || value > 0x10ffff || (value >= 0xd800 && value <= 0xdfff)) return false;
    i += static_cast<size_t>(extra) + 1;
  }
  return true;
}

// Every "#" must open one of the two placeholders, so a misspelt one cannot
// reach a notice unexpanded.
bool placeholdersAreKnown(std::string_view s) {
  for (size_t at = s.find('#'); at != std::string_view::npos; at = s.find('#', at)) {
    const std::string_view rest = s.substr(at);
    if (rest.starts_with("#HOSTNAME#") || rest.starts_with("#DOWNTIME#")) {
      at += 10;
    } else {
      return false;
    }
  }
  return true;
}

// A pager text is appended to the modem's dial line, so it may hold only
// what a modem dials.
bool isDialable(std::string_view s) {
  return s.find_first_not_of("0123456789*#,;") == std::string_view::npos;
}

TEST(ValidatorsOfTheFileCheck, RejectWhatTheyShould) {
  EXPECT_TRUE(isWellFormedUtf8("plain, \xc3\xa9, \xe6\xb8\xac, \xf0\x9f\x94\x8b"));
  EXPECT_FALSE(isWellFormedUtf8("cut \xe6\xb8"));
  EXPECT_FALSE(isWellFormedUtf8("\xd0"));
  EXPECT_FALSE(isWellFormedUtf8("stray \x80"));
  EXPECT_FALSE(isWellFormedUtf8("overlong \xc0\xaf"));
  EXPECT_FALSE(isWellFormedUtf8("surrogate \xed\xa0\x80"));
  EXPECT_FALSE(isWellFormedUtf8("latin-1 \xe9t\xe9"));
  EXPECT_TRUE(placeholdersAreKnown("#HOSTNAME# in #DOWNTIME#"));
  EXPECT_FALSE(placeholdersAreKnown("#HOSTNAM# down"));
  EXPECT_FALSE(placeholdersAreKnown("#HOSTNAME#DOWNTIME#"));
  EXPECT_TRUE(isDialable("001"));
  EXPECT_FALSE(isDialable("Battery"));
}

TEST(MessageFiles, EveryLanguageLoadsWithEveryNumberTheServiceUses) {
  const std::set<int> expected = numbersTheServiceUses();
  for (const Language& language : kLanguages) {
    SCOPED_TRACE(std::string("msg.") + language.code);
    MessageCatalogue catalogue;
    ASSERT_EQ(catalogue.loadCatalogue(ORVIK_DATA_DIR, language.posixLocale), 1);
    EXPECT_STREQ(catalogue.languageCode(), language.code);

    std::set<int> found;
    for (int i = 0; i < catalogue.entryCount(); ++i) {
      const int number = catalogue.entryAt(i).number;
      EXPECT_TRUE(found.insert(number).second) << "number " << number << " twice";
    }
    EXPECT_EQ(found, expected);
    for (int number : expected) {
      EXPECT_GT(catalogue.catalogueText(number).length(), 0) << number;
    }
    EXPECT_GT(catalogue.noticeText(kNoShutdownPowerFailMessage).length(), 0);
  }
}

TEST(MessageFiles, EveryTextFitsItsFieldInBytesAndIsWellFormed) {
  for (const Language& language : kLanguages) {
    SCOPED_TRACE(std::string("msg.") + language.code);
    MessageCatalogue catalogue;
    ASSERT_EQ(catalogue.loadCatalogue(ORVIK_DATA_DIR, language.posixLocale), 1);
    for (int i = 0; i < catalogue.entryCount(); ++i) {
      const CatalogueEntry& entry = catalogue.entryAt(i);
      SCOPED_TRACE("number " + std::to_string(entry.number));
      EXPECT_TRUE(isWellFormedUtf8(entry.displayText.view()));
      EXPECT_TRUE(isWellFormedUtf8(entry.noticeText.view()));
      EXPECT_TRUE(placeholdersAreKnown(entry.noticeText.view()));
      EXPECT_LE(entry.noticeText.view().size(), kNoticeBytes);
      if (!isEvent(entry.number)) continue;
      EXPECT_LE(entry.displayText.view().size(), kEventLogTextBytes);
      EXPECT_LE(entry.noticeText.view().size(), kMailBytes);
      EXPECT_GT(entry.noticeText.length(), 0);
      EXPECT_LE(entry.pagerText.view().size(), kPagerBytes);
      EXPECT_TRUE(isDialable(entry.pagerText.view())) << entry.pagerText.chars();
    }
  }
}

TEST(MessageFiles, LinesStayWithinTheFormatsLineLength) {
  for (const Language& language : kLanguages) {
    const std::string path = std::string(ORVIK_DATA_DIR) + "msg." + language.code;
    std::ifstream file(path, std::ios::binary);
    ASSERT_TRUE(file.is_open()) << path;
    std::string line;
    int lineNumber = 0;
    while (std::getline(file, line)) {
      ++lineNumber;
      EXPECT_LE(line.size(), kLineBytes) << path << ":" << lineNumber;
    }
  }
}

}  // namespace
}  // namespace orvik
