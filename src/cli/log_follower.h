// Reading a log that the service appends to and cuts now and then: the
// lines that are there, and then, look by look, the lines added since.
//
// A cut replaces the log with its newest part (through a temporary file
// renamed over it), so a follower cannot go by its read position alone:
// before it reads on, it checks that the last line it returned is still
// where it was. When it is not (the file shrank or was replaced), it looks
// for that line in the new file and goes on after it, or from the start
// when the line was cut away. Only complete lines are returned; a line being
// written is returned once its line end is there.
//
// Owned by one thread; uses the standard library's files only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvik {

class LogFollower {
 public:
  explicit LogFollower(std::string path);

  // The complete lines the file holds now, oldest first, line ends dropped;
  // the next look starts after them. False when the file cannot be read,
  // with *error (errno's text; "No such file or directory" for a missing
  // file, after which looks wait for it to appear).
  bool start(std::vector<std::string>* lines, std::string* error);
  // After a failed start: whether the file was missing.
  bool missing() const { return missing_; }

  // The complete lines added since the last look. A file missing for the
  // moment gives none.
  std::vector<std::string> look();

 private:
  // Reads the file from offset to its end into *bytes; false when it cannot
  // be opened. *size is the file's whole size.
  bool readFrom(int64_t offset, std::string* bytes, int64_t* size);
  // Takes the complete lines of bytes (read from offset_), advancing offset_.
  std::vector<std::string> takeLines(const std::string& bytes, std::size_t from);

  std::string path_;
  int64_t offset_ = 0;    // where the next look reads
  std::string lastLine_;  // the last line returned, with its line end
  bool missing_ = false;
};

// The last count lines of lines (all when count is 0).
std::vector<std::string> lastLines(std::vector<std::string> lines, int count);

}  // namespace orvik
