// The few file-system services that standard C++ lacks. Files themselves are
// read and written with the standard library; this interface makes their
// contents durable, so that a file replaced by renaming a freshly written one
// over it is whole after a power loss too, and lets processes that rewrite
// the files of one folder take turns.
#pragma once

#include <memory>
#include <string>

namespace orvik {

// Held from lockDirectory() until destroyed; the owning thread destroys it.
class DirectoryLock {
 public:
  virtual ~DirectoryLock() = default;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Forces the file's written contents to the disk. False when it cannot be
  // opened or flushed.
  virtual bool syncFile(const std::string& path) = 0;
  // Forces the directory's entries (a rename into it) to the disk. Best
  // effort: false where the system cannot do it.
  virtual bool syncDirectory(const std::string& directory) = 0;
  // Takes the exclusive lock on an existing directory that every process
  // and thread asking this interface shares, waiting up to waitMs for its
  // holder. Advisory: it keeps out only those who ask for it too, and it
  // adds no file to the directory (a folder whose every file another
  // program reads stays as it was). It goes with its holder's process too.
  // Not reentrant: a thread that holds a directory's lock must not ask for
  // it again. Null when the directory cannot be opened or the wait ran out.
  virtual std::unique_ptr<DirectoryLock> lockDirectory(const std::string& directory,
                                                       int waitMs) = 0;
};

}  // namespace orvik
