// The simulator's log: one line per received command, reply and state change,
// each stamped with the system-wide monotonic clock and the wall clock, so a
// test can measure when the host asked what. Lines go to any number of open
// files (a --log file, standard error) and are flushed at once.
//
//   <monotonic s.mmm> <UTC wall time> <kind> <text>
//   5123.042 2024-05-01T10:20:30.123Z rx "Q1\r" status
//
// Single-threaded: owned by the main loop.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace orvik::upssim {

struct LogTime {
  int64_t monotonicMs = 0;  // CLOCK_MONOTONIC, comparable between processes
  int64_t wallMs = 0;       // milliseconds since 1970 UTC
};

class SimLog {
 public:
  using TimeSource = std::function<LogTime()>;

  explicit SimLog(TimeSource time = systemTime);

  // The log writes to file until the end; the caller keeps it open.
  void addSink(std::FILE* file) { sinks_.push_back(file); }
  void write(std::string_view kind, std::string_view text);

  // Bytes in double quotes: printable ASCII as it is, \r \n \t \\ \" and
  // \xHH for the rest.
  static std::string escape(std::string_view bytes);
  static std::string formatLine(const LogTime& time, std::string_view kind, std::string_view text);
  static LogTime systemTime();

 private:
  TimeSource time_;
  std::vector<std::FILE*> sinks_;
};

}  // namespace orvik::upssim
