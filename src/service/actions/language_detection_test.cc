#include "service/actions/language_detection.h"

#include <gtest/gtest.h>

namespace orvik {
namespace {

struct Case {
  const char* localeName;
  const char* code;
};

void expectCodes(const Case* begin, const Case* end) {
  for (const Case* c = begin; c != end; ++c) {
    EXPECT_STREQ(detectLanguage(c->localeName), c->code)
        << (c->localeName ? c->localeName : "(null)");
  }
}

TEST(LanguageDetection, EnglishStyleLocaleNames) {
  const Case cases[] = {
      {"English_United States.1252", "en"}, {"German_Germany.1252", "de"},
      {"german_austria.1252", "de"},        {"Spanish_Spain.1252", "es"},
      {"French_France.1252", "fr"},         {"Italian_Italy.1252", "it"},
      {"Japanese_Japan.932", "ja"},         {"Russian_Russia.1251", "ru"},
      {"Arabic_Saudi Arabia.1256", "ar"},   {"Czech_Czech Republic.1250", "cz"},
      {"Polish_Poland.1250", "pl"},         {"Bulgarian_Bulgaria.1251", "bg"},
      {"Dutch_Netherlands.1252", "en"},     {"Germ", "en"},
  };
  expectCodes(std::begin(cases), std::end(cases));
}

TEST(LanguageDetection, ChineseScriptFollowsTaiwanOrThePrefix) {
  const Case cases[] = {
      {"Chinese_Taiwan.950", "tw"},
      {"Chinese (Traditional)_Taiwan.950", "tw"},  // "taiwan" anywhere
      {"Chinese_Republic of TAIWAN", "tw"},
      {"Chinese(Taiwan)", "tw"},
      {"Chinese_People's Republic of China.936", "cn"},
      {"Chinese_PRC", "cn"},
      {"Chinese(China)", "cn"},
      {"Chinese_Hong Kong S.A.R..950", "cn"},
      {"Chinese_Singapore.936", "cn"},
  };
  expectCodes(std::begin(cases), std::end(cases));
}

TEST(LanguageDetection, PosixLocaleNames) {
  const Case cases[] = {
      {"en_GB.UTF-8", "en"},
      {"de_DE.UTF-8", "de"},
      {"de_CH", "de"},
      {"es_MX.UTF-8", "es"},
      {"fr_CA.UTF-8", "fr"},
      {"it_IT.UTF-8", "it"},
      {"ja_JP.UTF-8", "ja"},
      {"ru_RU.UTF-8", "ru"},
      {"zh_CN.UTF-8", "cn"},
      {"zh_TW.UTF-8", "tw"},
      {"ZH_tw.big5", "tw"},
      // Arabic, Czech, Polish and Bulgarian by their POSIX names too.
      {"ar_EG.UTF-8", "ar"},
      {"cs_CZ.UTF-8", "cz"},
      {"pl_PL.UTF-8", "pl"},
      {"bg_BG.UTF-8", "bg"},
      // Nothing that names one of the languages: English.
      {"C", "en"},
      {"POSIX", "en"},
      {"C.UTF-8", "en"},
      {"nl_NL.UTF-8", "en"},
      {"zh_HK.UTF-8", "en"},
      {"de", "en"},
      {"", "en"},
      {nullptr, "en"},
  };
  expectCodes(std::begin(cases), std::end(cases));
}

TEST(LanguageDetection, RuntimeNameWinsThenTheRequestedLocale) {
  EXPECT_EQ(chooseLocaleName("de_DE.UTF-8", "fr_FR", "it_IT", "ja_JP"), "de_DE.UTF-8");
  EXPECT_EQ(chooseLocaleName(nullptr, "fr_FR", "it_IT", "ja_JP"), "fr_FR");
  EXPECT_EQ(chooseLocaleName(nullptr, "", "it_IT", "ja_JP"), "it_IT");
  EXPECT_EQ(chooseLocaleName(nullptr, nullptr, nullptr, "ja_JP.UTF-8"), "ja_JP.UTF-8");
  EXPECT_EQ(chooseLocaleName(nullptr, nullptr, "", ""), "English");
}

}  // namespace
}  // namespace orvik
