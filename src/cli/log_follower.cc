#include "cli/log_follower.h"

#include <cerrno>
#include <filesystem>
#include <cstdio>
#include <cstring>
#include <memory>

namespace orvik {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string withoutLineEnd(std::string line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

}  // namespace

LogFollower::LogFollower(std::string path) : path_(std::move(path)) {}

bool LogFollower::readFrom(int64_t offset, std::string* bytes, int64_t* size) {
  bytes->clear();
  File file(std::fopen(path_.c_str(), "rb"));
  if (!file) return false;
  if (std::fseek(file.get(), 0, SEEK_END) != 0) return false;
  *size = std::ftell(file.get());
  if (*size < 0) return false;
  if (offset > *size || std::fseek(file.get(), static_cast<long>(offset), SEEK_SET) != 0) {
    return true;  // nothing to read there; the caller sees the size
  }
  char buffer[65536];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes->append(buffer, got);
  return std::ferror(file.get()) == 0;  // a folder opens, and fails here
}

std::vector<std::string> LogFollower::takeLines(const std::string& bytes, std::size_t from) {
  std::vector<std::string> lines;
  std::size_t at = from;
  for (std::size_t end; (end = bytes.find('\n', at)) != std::string::npos; at = end + 1) {
    lastLine_ = bytes.substr(at, end + 1 - at);
    lines.push_back(withoutLineEnd(lastLine_));
  }
  return lines;
}

bool LogFollower::start(std::vector<std::string>* lines, std::string* error) {
  lines->clear();
  offset_ = 0;
  lastLine_.clear();
  std::string bytes;
  int64_t size = 0;
  errno = 0;
  if (!readFrom(0, &bytes, &size)) {
    missing_ = errno == ENOENT;
    // Said the same way everywhere: Windows' runtime calls a folder "Permission denied".
    std::error_code ignored;
    if (std::filesystem::is_directory(path_, ignored)) errno = EISDIR;
    *error = errno != 0 ? std::strerror(errno) : "cannot be read";
    return false;
  }
  *lines = takeLines(bytes, 0);
  offset_ =
      static_cast<int64_t>(bytes.rfind('\n') == std::string::npos ? 0 : bytes.rfind('\n') + 1);
  return true;
}

std::vector<std::string> LogFollower::look() {
  std::string bytes;
  int64_t size = 0;
  const int64_t lastLength = static_cast<int64_t>(lastLine_.size());
  // From the start of the last line returned, to check it is still there.
  if (!readFrom(offset_ - lastLength, &bytes, &size)) return {};
  if (size >= offset_ && bytes.compare(0, lastLine_.size(), lastLine_) == 0) {
    std::vector<std::string> lines = takeLines(bytes, lastLine_.size());
    const std::size_t end = bytes.rfind('\n');
    if (!lines.empty()) offset_ = offset_ - lastLength + static_cast<int64_t>(end + 1);
    return lines;
  }
  // Cut or replaced: go on after the last line returned, wherever it is now.
  if (!readFrom(0, &bytes, &size)) return {};
  std::size_t from = 0;
  if (!lastLine_.empty()) {
    const std::string last = std::move(lastLine_);
    lastLine_.clear();  // stays so when the line was cut away
    for (std::size_t found = bytes.rfind(last); found != std::string::npos;
         found = found == 0 ? std::string::npos : bytes.rfind(last, found - 1)) {
      if (found == 0 || bytes[found - 1] == '\n') {  // a whole line, not the tail of one
        from = found + last.size();
        lastLine_ = last;
        break;
      }
    }
  }
  std::vector<std::string> lines = takeLines(bytes, from);
  const std::size_t end = bytes.rfind('\n');
  offset_ = static_cast<int64_t>(end == std::string::npos || end + 1 < from ? from : end + 1);
  return lines;
}

std::vector<std::string> lastLines(std::vector<std::string> lines, int count) {
  if (count > 0 && lines.size() > static_cast<std::size_t>(count)) {
    lines.erase(lines.begin(), lines.end() - count);
  }
  return lines;
}

}  // namespace orvik
