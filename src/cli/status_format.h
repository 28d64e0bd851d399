// `orvik status` and `orvik status --json`: a status snapshot as lines for
// people (at most 80 columns) and as one JSON object with fixed keys (the
// README documents them).
#pragma once

#include <string>

#include "platform/clock.h"
#include "shared/status_snapshot.h"

namespace orvik {

// Local times come from clock.
std::string statusText(const StatusSnapshot& status, Clock& clock);
std::string statusJson(const StatusSnapshot& status);

// "up", "lost" or "waiting".
const char* linkName(LinkState link);

// text as a JSON string, quotes included; text must be valid UTF-8
// (clean_text.h makes it so).
std::string jsonString(const std::string& text);

// "2026-12-08 09:12:32", local time; the number itself when it cannot be
// converted.
std::string localDateTime(Clock& clock, int64_t calendarSeconds);

}  // namespace orvik
