// The service's logs as the log pages read them: in pieces of what a line
// reader with a fixed buffer returns, that is a line up to and including its
// "\n", or the first capacity - 1 bytes of a longer one (the rest is the
// next piece).
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace orvik {

class LogReader {
 public:
  LogReader(const std::string& path, std::size_t capacity);
  ~LogReader();
  LogReader(const LogReader&) = delete;
  LogReader& operator=(const LogReader&) = delete;

  bool isOpen() const { return file_ != nullptr; }
  // The next piece; false at the end of the file.
  bool next(std::string* piece);
  // Skips count pieces; false when the file ends first.
  bool skip(int count);

 private:
  std::FILE* file_;
  std::size_t capacity_;
};

// Counts the pieces of the log at path; -1 when it cannot be opened.
int countPieces(const std::string& path, std::size_t capacity);

// The piece from its 1-based character first, at most length characters,
// without the line end; empty when the piece is shorter.
std::string pieceColumns(const std::string& piece, std::size_t first, std::size_t length);

}  // namespace orvik
