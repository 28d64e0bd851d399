// Which message file the service speaks: a two-letter language code chosen
// once at start-up from the name of the user's time-category locale.
#pragma once

#include <string>

namespace orvik {

// One of "en", "tw", "cn", "es", "fr", "de", "it", "ja", "ru", "ar", "cz",
// "pl", "bg" (a static string) for a locale name in either of the two forms
// runtimes report: English language names ("German_Germany.1252",
// "Chinese (Traditional)_Taiwan.950") or POSIX names ("de_DE.UTF-8").
// Anything unrecognised, and a null name, gives "en". Pure; any thread.
const char* detectLanguage(const char* localeName);

// Sets the runtime's time-category locale to the user's default and returns
// its name, as chooseLocaleName() picks it. Changes process-wide locale
// state: call only at start-up, before other threads run.
std::string userTimeLocaleName();

// The name the runtime reported for the user's locale; when it reported none
// (the requested locale is not installed), the first non-empty request of
// LC_ALL, LC_TIME and LANG, in the C library's order of precedence, since
// choosing a message file needs no locale data; "English" when nothing names
// a locale. Null pointers stand for names that are not there. Pure.
std::string chooseLocaleName(const char* runtimeName, const char* lcAll, const char* lcTime,
                             const char* lang);

}  // namespace orvik
