#include "cli/log_lines.h"

#include <cstdio>
#include <vector>

#include "shared/alarm_conditions.h"
#include "shared/clean_text.h"

namespace orvik {
namespace {

constexpr std::size_t kWidth = 80;

std::string_view withoutLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

bool digitsAt(std::string_view text, std::size_t at, std::size_t count) {
  if (at + count > text.size()) return false;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

int numberAt(std::string_view text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) value = value * 10 + (text[i] - '0');
  return value;
}

// "MM/DD/YYYY" and "hh:mm:ss" at the given places, checked for ranges.
bool readDateTime(std::string_view line, std::size_t dateAt, std::size_t timeAt, std::string* date,
                  std::string* time) {
  if (!digitsAt(line, dateAt, 2) || line[dateAt + 2] != '/' || !digitsAt(line, dateAt + 3, 2) ||
      line[dateAt + 5] != '/' || !digitsAt(line, dateAt + 6, 4)) {
    return false;
  }
  if (!digitsAt(line, timeAt, 2) || line[timeAt + 2] != ':' || !digitsAt(line, timeAt + 3, 2) ||
      line[timeAt + 5] != ':' || !digitsAt(line, timeAt + 6, 2)) {
    return false;
  }
  const int month = numberAt(line, dateAt, 2), day = numberAt(line, dateAt + 3, 2);
  if (month < 1 || month > 12 || day < 1 || day > 31 || numberAt(line, timeAt, 2) > 23 ||
      numberAt(line, timeAt + 3, 2) > 59 || numberAt(line, timeAt + 6, 2) > 60) {
    return false;
  }
  *date = std::string(line.substr(dateAt + 6, 4)) + "-" + std::string(line.substr(dateAt, 2)) +
          "-" + std::string(line.substr(dateAt + 3, 2));
  *time = std::string(line.substr(timeAt, 8));
  return true;
}

// Cut to the width in characters, never inside one.
std::string fitted(std::string text) {
  std::size_t columns = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if ((static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) continue;
    if (++columns > kWidth) return text.substr(0, at);
  }
  return text;
}

// A signed decimal field, all of it.
bool readInteger(std::string_view field, int* value) {
  std::size_t at = field.size() > 0 && field[0] == '-' ? 1 : 0;
  if (field.size() == at || field.size() - at > 6 || !digitsAt(field, at, field.size() - at)) {
    return false;
  }
  const int magnitude = numberAt(field, at, field.size() - at);
  *value = at == 1 ? -magnitude : magnitude;
  return true;
}

// "50.0" in tenths; "-2.0" as written for a value not available.
bool readTenths(std::string_view field, int* value) {
  const std::size_t dot = field.find('.');
  if (dot == std::string_view::npos || dot + 2 != field.size() || !digitsAt(field, dot + 1, 1)) {
    return false;
  }
  int whole = 0;
  if (!readInteger(field.substr(0, dot), &whole)) return false;
  const int tenth = field[dot + 1] - '0';
  *value = field[0] == '-' ? whole * 10 - tenth : whole * 10 + tenth;
  return true;
}

std::optional<int> available(int value) {
  if (value < 0) return std::nullopt;
  return value;
}

std::string cell(const std::optional<int>& value, bool tenths) {
  if (!value) return "-";
  char text[24];
  if (tenths) {
    std::snprintf(text, sizeof text, "%d.%d", *value / 10, *value % 10);
  } else {
    std::snprintf(text, sizeof text, "%d", *value);
  }
  return text;
}

}  // namespace

std::optional<EventLine> parseEventLine(std::string_view line) {
  line = withoutLineEnd(line);
  // 001  MM/DD/YYYY  hh:mm:ss  [text]
  // 0    5           17        27
  if (line.size() < 29 || !digitsAt(line, 0, 3) || line.substr(3, 2) != "  " ||
      line.substr(15, 2) != "  " || line.substr(25, 3) != "  [" || line.back() != ']') {
    return std::nullopt;
  }
  EventLine event;
  event.number = numberAt(line, 0, 3);
  if (!readDateTime(line, 5, 17, &event.date, &event.time)) return std::nullopt;
  std::string_view text = line.substr(28, line.size() - 29);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  event.text = std::string(text);
  return event;
}

std::string formatEventLine(const EventLine& event) {
  char number[8];
  std::snprintf(number, sizeof number, "%03d", event.number % 1000);
  const std::string name = eventName(event.number);
  std::string line = event.date + " " + event.time + "  " + number + "  " + name;
  const std::string logged = cleanText(event.text);
  if (!logged.empty() && logged != name) line += "  [" + logged + "]";
  return fitted(line);
}

std::optional<DataLine> parseDataLine(std::string_view line) {
  line = withoutLineEnd(line);
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    const std::size_t comma = line.find(',', start);
    fields.push_back(
        line.substr(start, comma == std::string_view::npos ? line.npos : comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  if (fields.size() != 10 || fields[0].size() != 10 || fields[1].size() != 8) return std::nullopt;
  DataLine data;
  const std::string dateTime = std::string(fields[0]) + "  " + std::string(fields[1]);
  if (!readDateTime(dateTime, 0, 12, &data.date, &data.time)) return std::nullopt;
  int vin, vout, vbat, fin, fout, load, temp;
  if (!readInteger(fields[2], &vin) || !readInteger(fields[3], &vout) ||
      !readInteger(fields[4], &vbat) || !readTenths(fields[5], &fin) ||
      !readTenths(fields[6], &fout) || !readInteger(fields[7], &load) ||
      !readInteger(fields[8], &temp)) {
    return std::nullopt;
  }
  const std::string_view flags = fields[9];
  if (flags.size() != 10 || flags.substr(0, 2) != "0x") return std::nullopt;
  uint32_t value = 0;
  for (char c : flags.substr(2)) {
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (digit < 0) return std::nullopt;
    value = value << 4 | static_cast<uint32_t>(digit);
  }
  data.vin = available(vin);
  data.vout = available(vout);
  data.vbat = available(vbat);
  data.fin = available(fin);
  data.fout = available(fout);
  data.load = available(load);
  data.temp = available(temp);
  data.flags = value;
  return data;
}

std::string dataHeader() {
  char line[96];
  std::snprintf(line, sizeof line, "%-10s %-8s %5s %5s %6s %6s %6s %5s %5s  %s", "Date", "Time",
                "Vin", "Vout", "Vbat", "Fin", "Fout", "Load", "Temp", "Alarms");
  return line;
}

std::string formatDataLine(const DataLine& d) {
  char line[128];
  std::snprintf(line, sizeof line, "%-10s %-8s %5s %5s %6s %6s %6s %5s %5s  0x%08x", d.date.c_str(),
                d.time.c_str(), cell(d.vin, false).c_str(), cell(d.vout, false).c_str(),
                cell(d.vbat, true).c_str(), cell(d.fin, true).c_str(), cell(d.fout, true).c_str(),
                cell(d.load, false).c_str(), cell(d.temp, false).c_str(), d.flags);
  return line;
}

}  // namespace orvik
