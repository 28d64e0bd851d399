#include "sim_log.h"

#include <time.h>

#include <cinttypes>

namespace orvik::upssim {

SimLog::SimLog(TimeSource time) : time_(std::move(time)) {}

void SimLog::write(std::string_view kind, std::string_view text) {
  std::string line = formatLine(time_(), kind, text);
  for (std::FILE* sink : sinks_) {
    std::fputs(line.c_str(), sink);
    std::fflush(sink);
  }
}

std::string SimLog::escape(std::string_view bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (unsigned char c : bytes) {
    switch (c) {
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      default:
        if (c >= 0x20 && c < 0x7F) {
          out += static_cast<char>(c);
        } else {
          out += "\\x";
          out += kHex[c >> 4];
          out += kHex[c & 15];
        }
    }
  }
  out += '"';
  return out;
}

std::string SimLog::formatLine(const LogTime& time, std::string_view kind, std::string_view text) {
  time_t seconds = static_cast<time_t>(time.wallMs / 1000);
  struct tm utc {};
  gmtime_r(&seconds, &utc);
  char stamp[96];
  std::snprintf(stamp, sizeof stamp, "%" PRId64 ".%03d %04d-%02d-%02dT%02d:%02d:%02d.%03dZ ",
                time.monotonicMs / 1000, static_cast<int>(time.monotonicMs % 1000),
                utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min,
                utc.tm_sec, static_cast<int>(time.wallMs % 1000));
  std::string line = stamp;
  line.append(kind);
  line += ' ';
  for (char c : text) line += (c == '\n' || c == '\r') ? ' ' : c;
  line += '\n';
  return line;
}

LogTime SimLog::systemTime() {
  struct timespec mono {
  }, wall{};
  clock_gettime(CLOCK_MONOTONIC, &mono);
  clock_gettime(CLOCK_REALTIME, &wall);
  return {mono.tv_sec * int64_t{1000} + mono.tv_nsec / 1'000'000,
          wall.tv_sec * int64_t{1000} + wall.tv_nsec / 1'000'000};
}

}  // namespace orvik::upssim
