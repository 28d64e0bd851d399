// Facts about the machine and the running program.
#pragma once

#include <string>

namespace orvik {

// Operating system version in the terms of the Windows version query.
struct OsVersion {
  enum Platform { kConsumer = 1, kNt = 2 };  // the 9x family and the NT family
  int platform = kNt;
  int major = 0;
  int minor = 0;
};

class SystemInfo {
 public:
  virtual ~SystemInfo() = default;

  // False when the version cannot be queried.
  virtual bool osVersion(OsVersion* out) = 0;
  // A short name of the operating system for the status record (at most 31
  // characters are kept).
  virtual std::string osName() = 0;
  virtual std::string hostName() = 0;
  // The machine's short name (NetBIOS style); callers keep 15 characters.
  virtual std::string computerName() = 0;
  // Full path of the running program's own file; empty when unknown.
  virtual std::string programPath() = 0;
  // Registers the process as a simple service on the consumer family so that
  // logging off does not end it. Nothing to do elsewhere.
  virtual void registerServiceProcess() = 0;
};

}  // namespace orvik
