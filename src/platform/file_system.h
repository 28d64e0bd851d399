// The few file-system services that standard C++ lacks. Files themselves are
// read and written with the standard library; this interface only makes
// their contents durable, so that a file replaced by renaming a freshly
// written one over it is whole after a power loss too.
#pragma once

#include <string>

namespace orvik {

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Forces the file's written contents to the disk. False when it cannot be
  // opened or flushed.
  virtual bool syncFile(const std::string& path) = 0;
  // Forces the directory's entries (a rename into it) to the disk. Best
  // effort: false where the system cannot do it.
  virtual bool syncDirectory(const std::string& directory) = 0;
};

}  // namespace orvik
