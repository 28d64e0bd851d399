#include "service/actions/language_detection.h"

#include <clocale>
#include <cstdlib>
#include <string_view>

#include "shared/ignoring_case.h"

namespace orvik {

namespace {

bool containsNoCase(std::string_view name, std::string_view word) {
  for (size_t i = 0; i + word.size() <= name.size(); ++i) {
    if (startsWithIgnoringCase(name.substr(i), word)) return true;
  }
  return false;
}

struct Prefix {
  const char* prefix;
  const char* code;
};

// Tried in order, first match wins. Each language is known by its English
// name (what Windows runtimes report) and, where those runtimes could also
// report it, by its POSIX prefix. The last line adds the POSIX prefixes of
// the four languages that were only ever matched by their English names: on
// POSIX systems "ar_EG.UTF-8" and the like are the only names these users
// have, and no English-style name starts with them.
// clang-format off
constexpr Prefix kPrefixes[] = {
    {"English", "en"},   {"en_", "en"},
    {"Chinese_C", "cn"}, {"Chinese(C", "cn"}, {"Chinese_P", "cn"}, {"zh_CN", "cn"},
    {"Chinese_T", "tw"}, {"Chinese(T", "tw"}, {"zh_TW", "tw"},
    {"Spanish", "es"},   {"es_", "es"},
    {"French", "fr"},    {"fr_", "fr"},
    {"German", "de"},    {"de_", "de"},
    {"Italian", "it"},   {"it_", "it"},
    {"Japanese", "ja"},  {"ja_", "ja"},
    {"Russian", "ru"},   {"ru_", "ru"},
    {"Arabic", "ar"},
    {"Czech", "cz"},
    {"Polish", "pl"},
    {"Bulg", "bg"},
    {"ar_", "ar"},       {"cs_", "cz"},        {"pl_", "pl"},        {"bg_", "bg"},
};
// clang-format on

}  // namespace

const char* detectLanguage(const char* localeName) {
  const std::string_view name = localeName ? localeName : "English";
  const char* code = "en";
  if (startsWithIgnoringCase(name, "Chinese")) code = containsNoCase(name, "taiwan") ? "tw" : "cn";
  for (const Prefix& p : kPrefixes) {
    if (startsWithIgnoringCase(name, p.prefix)) return p.code;
  }
  return code;
}

std::string chooseLocaleName(const char* runtimeName, const char* lcAll, const char* lcTime,
                             const char* lang) {
  if (runtimeName) return runtimeName;
  for (const char* request : {lcAll, lcTime, lang}) {
    if (request && *request) return request;
  }
  return "English";
}

std::string userTimeLocaleName() {
  const char* runtimeName = std::setlocale(LC_TIME, "");
  return chooseLocaleName(runtimeName, std::getenv("LC_ALL"), std::getenv("LC_TIME"),
                          std::getenv("LANG"));
}

}  // namespace orvik
