// "kestrel.cfg": the persistent blocks of the shared status record, saved as
// their raw little-endian image (kPersistedSlices, 74968 bytes, no header)
// and laid back over the record at start-up.
//
// The file is the one named at construction, never the record's configPath:
// the record is writable by the pages' group, and a path taken from it would
// let any writer of the record make the service replace any file.
//
// A save never damages the file it replaces: the image goes to
// the path + ".new", is flushed to the disk and then renamed over the
// settings file, so a crash or a full disk leaves either the old file or the
// new one, whole.
//
// Threads: saves run on the control listener's thread, the load at start-up
// on the window thread; other threads keep changing the record meanwhile, so
// a save may mix values from before and after a concurrent change (each 2-
// and 4-byte field is read whole). One lock serialises saves and loads: a
// save asked for while another runs waits for it and then writes the newer
// state, so no change that a caller asked to persist is skipped.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>

#include "platform/platform.h"
#include "shared/status_record.h"

namespace orvik {

inline constexpr char kSettingsReplacementSuffix[] = ".new";

class SettingsFile {
 public:
  // The record and the platform outlive this object. Uses the clock, the
  // system facts and the file system.
  SettingsFile(StatusRecord& record, Platform platform, std::string path);

  // 0 on success; -1 when the file cannot be written whole (the previous
  // file then stays as it was).
  int saveSettings();
  // Lays the file's bytes over the persistent blocks in order; a short file
  // fills them as far as it reaches and leaves the rest as they were. Then
  // refreshes the run-time fields. 0 on success, -1 when the file cannot be
  // opened (the record is untouched).
  int loadSettings();

 private:
  StatusRecord& record_;
  Platform platform_;
  const std::string path_;
  std::mutex mutex_;
};

}  // namespace orvik
