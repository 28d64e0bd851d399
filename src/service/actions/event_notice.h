// The text of a network event notice: six fields "NAME:value" joined by ";"
// (HOST, UNAME, OCCUR, DOWN, LANG, DESC), no ";" at the end. Pure; any thread.
#pragma once

#include "platform/clock.h"
#include "service/actions/text.h"

namespace orvik {

struct NoticeFields {
  const char* hostName = "";
  const char* computerName = "";
  LocalTime occurred;  // local time the notice is built
  int down = 0;
  const char* languageCode = "";
  const char* description = "";
};

// Seconds, minutes, hours, day, month from 0, years since 1900 in four
// digits and the daylight-saving flag: 3 March 2007 14:05:09 standard time
// is "090514030201070".
Text occurValue(const LocalTime& local);

Text eventNotice(const NoticeFields& fields);

}  // namespace orvik
