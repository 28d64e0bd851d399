#include "cgi/log_reader.h"

namespace orvik {

LogReader::LogReader(const std::string& path, std::size_t capacity)
    : file_(std::fopen(path.c_str(), "r")), capacity_(capacity) {}

LogReader::~LogReader() {
  if (file_ != nullptr) std::fclose(file_);
}

bool LogReader::next(std::string* piece) {
  piece->clear();
  if (file_ == nullptr) return false;
  int c = 0;
  while (piece->size() + 1 < capacity_ && (c = std::getc(file_)) != EOF) {
    piece->push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  return !piece->empty();
}

bool LogReader::skip(int count) {
  std::string piece;
  for (int i = 0; i < count; ++i) {
    if (!next(&piece)) return false;
  }
  return true;
}

int countPieces(const std::string& path, std::size_t capacity) {
  LogReader reader(path, capacity);
  if (!reader.isOpen()) return -1;
  int count = 0;
  std::string piece;
  while (reader.next(&piece)) ++count;
  return count;
}

std::string pieceColumns(const std::string& piece, std::size_t first, std::size_t length) {
  std::size_t end = piece.size();
  while (end > 0 && (piece[end - 1] == '\n' || piece[end - 1] == '\r')) --end;
  if (first == 0 || first > end) return std::string();
  return piece.substr(first - 1, std::min(length, end - (first - 1)));
}

}  // namespace orvik
