#include "service/monitor/event_log.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "shared/record_access.h"

namespace orvik {
namespace {

// A value below the field's range prints as the negative sentinel, one above
// it as the largest value the field holds.
int clampField(int value, int low, int high) {
  if (value < 0) return low;
  return std::min(value, high);
}

LocalTime localNow(Clock& clock) {
  LocalTime now;
  clock.toLocalTime(clock.calendarSeconds(), &now);
  return now;
}

bool copyTail(std::FILE* from, std::FILE* to) {
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, from)) > 0) {
    if (std::fwrite(buffer, 1, got, to) != got) return false;
  }
  return std::ferror(from) == 0;
}

}  // namespace

EventLog::EventLog(StatusRecord& record, Clock& clock, FileSystem& files, LogPaths paths)
    : record_(record), clock_(clock), files_(files), paths_(std::move(paths)) {}

void EventLog::appendLine(const std::string& path, const std::string& line) {
  std::FILE* file = path.empty() ? nullptr : std::fopen(path.c_str(), "a+b");
  if (file == nullptr) return;
  std::fwrite(line.data(), 1, line.size(), file);
  std::fclose(file);
}

void EventLog::appendEventLine(int eventNumber, const std::string& text) {
  std::lock_guard<std::mutex> lock(eventMutex_);
  const LocalTime t = localNow(clock_);
  const int length =
      std::snprintf(nullptr, 0, "%03d  %02d/%02d/%04d  %02d:%02d:%02d  [%-40s]\r\n", eventNumber,
                    t.month, t.day, t.year, t.hour, t.minute, t.second, text.c_str());
  std::string line(static_cast<std::size_t>(length) + 1, '\0');
  std::snprintf(line.data(), line.size(), "%03d  %02d/%02d/%04d  %02d:%02d:%02d  [%-40s]\r\n",
                eventNumber, t.month, t.day, t.year, t.hour, t.minute, t.second, text.c_str());
  line.pop_back();
  appendLine(paths_.eventLog, line);
  trimLogFile(paths_.eventLog, loadField(record_.EvtFileLen), kEventLineLength);
}

void EventLog::appendDataLine(int vin, int vout, int vbat, int fin, int fout, int load, int temp,
                              uint32_t flags) {
  if (loadField(record_.dataLogEnable) == 0) return;
  std::lock_guard<std::mutex> lock(dataMutex_);
  vin = clampField(vin, -2, 999);
  vout = clampField(vout, -2, 999);
  vbat = clampField(vbat, -20, 9999);
  fin = clampField(fin, -20, 999);
  fout = clampField(fout, -20, 999);
  load = clampField(load, -2, 999);
  temp = clampField(temp, -2, 999);
  const LocalTime t = localNow(clock_);
  // Wide enough for every clamped value; a year beyond four digits only
  // lengthens the line.
  char line[128];
  std::snprintf(
      line, sizeof line,
      "%02d/%02d/%04d,%02d:%02d:%02d,%03d,%03d,%04d,%02d.%01d,%02d.%01d,%03d,%03d,0x%08lx\r\n",
      t.month, t.day, t.year, t.hour, t.minute, t.second, vin, vout, vbat, fin / 10, fin % 10,
      fout / 10, fout % 10, load, temp, static_cast<unsigned long>(flags));
  appendLine(paths_.dataLog, line);
  trimLogFile(paths_.dataLog, loadField(record_.DataFileLen), kDataLineLength);
}

void EventLog::trimLogFile(const std::string& path, int32_t limit, int lineLength) {
  std::lock_guard<std::mutex> lock(cutMutex_);
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  if (error || static_cast<int64_t>(size) < limit || lineLength <= 0) return;
  const int64_t keep = std::max<int64_t>(0, int64_t{limit} / 2 / lineLength * lineLength);

  const std::string& tempPath = paths_.temp;
  if (tempPath.empty()) return;
  std::FILE* log = std::fopen(path.c_str(), "rb");
  if (log == nullptr) return;
  std::FILE* temp = std::fopen(tempPath.c_str(), "wb");
  if (temp == nullptr) {
    std::fclose(log);
    return;
  }
  bool ok = std::fseek(log, -static_cast<long>(keep), SEEK_END) == 0 && copyTail(log, temp);
  std::fclose(log);
  ok = std::fflush(temp) == 0 && ok;
  ok = std::fclose(temp) == 0 && ok;
  ok = ok && files_.syncFile(tempPath);
  if (ok) std::filesystem::rename(tempPath, path, error);
  if (!ok || error) std::filesystem::remove(tempPath, error);
}

}  // namespace orvik
