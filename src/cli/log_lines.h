// The service's two logs as `orvik events` and `orvik data` show them: each
// line read back from its fixed format, and written out again for people,
// at most 80 columns a line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvik {

struct EventLine {
  int number = 0;
  std::string date;  // "YYYY-MM-DD"
  std::string time;  // "hh:mm:ss"
  std::string text;  // the logged text, blanks at its end dropped
};

// "001  12/08/2026  09:12:32  [Power failure      ]" with or without its
// line end; empty for anything else, a line cut short included.
std::optional<EventLine> parseEventLine(std::string_view line);

// "2026-12-08 09:12:32  001  Power failure": the event's own name, and the
// logged text after it in brackets when it says something else (the
// service's language may not be English). Cut to 80 columns, clean of
// control characters.
std::string formatEventLine(const EventLine& event);

struct DataLine {
  std::string date;  // "YYYY-MM-DD"
  std::string time;
  // In the log's units: V, V, 0.1 V, 0.1 Hz, 0.1 Hz, %, degrees C; empty
  // for the values the service logs as not available (below 0).
  std::optional<int> vin, vout, vbat, fin, fout, load, temp;
  uint32_t flags = 0;
};

// "12/08/2026,09:12:32,230,230,0273,50.0,50.0,021,035,0x01000000".
std::optional<DataLine> parseDataLine(std::string_view line);

// The table's column titles and one row of it.
std::string dataHeader();
std::string formatDataLine(const DataLine& data);

}  // namespace orvik
