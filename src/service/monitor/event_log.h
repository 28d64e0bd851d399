// The two append-only text logs the management pages read by name: the event
// log (one 71-byte line per logged event) and the data log (one 63-byte line
// of measured values per interval). Every line is appended with the file
// opened and closed around it, so a reader always finds complete lines. A
// log that has reached its limit is cut back to its newest whole nominal
// lines through the temporary file, which is renamed over the log: a reader
// never finds the log missing, and a cut that fails leaves the log whole.
//
// The paths are the ones given at construction, never the record's path
// fields: the record is writable by the pages' group, and a path taken from
// it would let any writer of the record make the service replace any file.
//
// Threads: event lines come from the monitor thread, the window thread (at
// stop) and the shutdown worker; a lock serialises them, so none is lost.
// Data lines come from the monitor thread. Cuts of both logs share the
// temporary file and take turns under a lock of their own. Limits and
// dataLogEnable are read from the record at each call.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "platform/platform.h"
#include "shared/status_record.h"

namespace orvik {

inline constexpr int kEventLineLength = 71;
inline constexpr int kDataLineLength = 63;

struct LogPaths {
  std::string eventLog;
  std::string dataLog;
  std::string temp;  // where a cut writes the kept lines before the rename
};

class EventLog {
 public:
  // The record, clock and file system outlive this object.
  EventLog(StatusRecord& record, Clock& clock, FileSystem& files, LogPaths paths);

  // "%03d  MM/DD/YYYY  hh:mm:ss  [text padded to 40]\r\n" in local time, then
  // a cut at EvtFileLen. A text longer than 40 characters is written whole.
  void appendEventLine(int eventNumber, const std::string& text);
  // "MM/DD/YYYY,hh:mm:ss,Vin,Vout,Vbat,Fin,Fout,Load,Temp,0xflags\r\n" with
  // each value clamped to its field, then a cut at DataFileLen. Nothing when
  // dataLogEnable is 0. Frequencies are in 0.1 Hz.
  void appendDataLine(int vin, int vout, int vbat, int fin, int fout, int load, int temp,
                      uint32_t flags);
  // When the file at path (one of the two logs) has reached limit bytes,
  // keeps only its last (limit / 2 / lineLength) * lineLength bytes.
  void trimLogFile(const std::string& path, int32_t limit, int lineLength);

 private:
  void appendLine(const std::string& path, const std::string& line);

  StatusRecord& record_;
  Clock& clock_;
  FileSystem& files_;
  const LogPaths paths_;
  std::mutex eventMutex_;
  std::mutex dataMutex_;
  std::mutex cutMutex_;
};

}  // namespace orvik
