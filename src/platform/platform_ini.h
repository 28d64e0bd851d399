// "platform.ini" in the program's folder: how this machine maps the names the
// system uses onto local things. One setting a line, NAME=VALUE; blanks around
// either side are dropped; lines starting with "#" or ";" and lines without
// "=" are ignored; names are case-insensitive; a later line wins.
//
//   COM1=/dev/ttyUSB0      device behind "COM1" (default /dev/ttyS0)
//   ShareGroup=www-data    group that may read and write the status record
//   LoginRecords=/run/utmp login sessions whose terminals get messenger notices
//                          (default the system's login records)
//   PowerOffCommand=systemctl poweroff
//                          what the shutdown sequence runs last (the default);
//                          started without a shell, words as in command_line.h
//   StopServiceCommand=systemctl stop --no-block
//                          asks the service manager to stop the service, whose
//                          name is added as the last word (the default)
#pragma once

#include <map>
#include <string>

namespace orvik {

class PlatformIni {
 public:
  // Reads the file; a missing or unreadable file gives no settings.
  static PlatformIni load(const std::string& path);
  static PlatformIni fromText(const std::string& text);

  // The value, or fallback when the name is not set.
  std::string get(const std::string& name, const std::string& fallback = "") const;

 private:
  std::map<std::string, std::string> values_;  // names in upper case
};

}  // namespace orvik
