// Notices on the terminals of the users logged in on this computer, as
// `wall` writes them: the login records name the terminals. Other computers
// cannot be reached this way.
#include <fcntl.h>
#include <poll.h>
#include <strings.h>
#include <time.h>
#include <unistd.h>
#include <utmpx.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

#include "platform/posix_backends.h"
#include "platform/terminal_text.h"

namespace orvik {
namespace {

// A terminal whose reader is stuck gets this long, then is left behind; and
// however many are stuck, one notice takes at most the second limit.
constexpr int64_t kTerminalWriteMs = 200;
constexpr int64_t kNoticeWriteMs = 1000;

int64_t monotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// The block's three texts; false unless it is exactly three NUL-terminated texts.
bool splitBlock(const char* block, std::size_t size, std::string pieces[3]) {
  std::size_t at = 0;
  for (int k = 0; k < 3; ++k) {
    const void* end = at < size ? std::memchr(block + at, '\0', size - at) : nullptr;
    if (end == nullptr) return false;
    const std::size_t length = static_cast<const char*>(end) - (block + at);
    pieces[k].assign(block + at, length);
    at += length + 1;
  }
  return at == size;
}

// Device paths of the live login sessions; false when the records cannot be read.
bool loginTerminals(const std::string& recordsPath, std::vector<std::string>* terminals) {
  FILE* file = std::fopen(recordsPath.c_str(), "rbe");
  if (file == nullptr) return false;
  std::set<std::string> seen;
  utmpx entry{};
  while (std::fread(&entry, sizeof entry, 1, file) == 1) {
    if (entry.ut_type != USER_PROCESS) continue;
    const std::string line(entry.ut_line, strnlen(entry.ut_line, sizeof entry.ut_line));
    // Only names below /dev: a record must not lead the write elsewhere.
    if (line.empty() || line.find("..") != std::string::npos || line[0] == '/') continue;
    const std::string path = "/dev/" + line;
    if (seen.insert(path).second) terminals->push_back(path);
  }
  std::fclose(file);
  return true;
}

// Writes text to the terminal at path, waiting for it until deadline at most.
void writeToTerminal(const std::string& path, const std::string& text, int64_t deadline) {
  const int fd = open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  if (isatty(fd)) {
    std::size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = write(fd, text.data() + done, text.size() - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      const int64_t left = deadline - monotonicMs();
      if (n == 0 || errno != EAGAIN || left <= 0) break;
      pollfd wait{fd, POLLOUT, 0};
      poll(&wait, 1, static_cast<int>(left));
    }
  }
  close(fd);
}

std::string banner(const std::string& sender, const std::string& recipient) {
  char when[64] = "";
  const time_t now = time(nullptr);
  tm local{};
  if (localtime_r(&now, &local) != nullptr) {
    strftime(when, sizeof when, " (%a %b %e %H:%M:%S %Y)", &local);
  }
  return "\r\n\r\nBroadcast message from " + terminalSafeText(sender, false) + " to " +
         terminalSafeText(recipient, false) + when + ":\r\n\r\n";
}

class TerminalMessenger final : public Messenger {
 public:
  explicit TerminalMessenger(std::string recordsPath) : recordsPath_(std::move(recordsPath)) {}

  void setRecordsPath(const std::string& path) { recordsPath_ = path; }

  int writeNotice(const std::string& target, const char* block, std::size_t size) override {
    std::string pieces[3];
    if (!splitBlock(block, size, pieces) || !isThisComputer(target)) return 0;
    std::vector<std::string> terminals;
    if (!loginTerminals(recordsPath_, &terminals)) return 0;
    const std::string notice =
        banner(pieces[0], pieces[1]) + terminalSafeText(pieces[2], true) + "\r\n";
    const int64_t end = monotonicMs() + kNoticeWriteMs;
    for (const std::string& terminal : terminals) {
      writeToTerminal(terminal, notice, std::min(end, monotonicMs() + kTerminalWriteMs));
    }
    return 1;
  }

 private:
  // "*" reaches every computer, this one among them; names are
  // case-insensitive, as computer names are.
  static bool isThisComputer(const std::string& target) {
    if (target == "*") return true;
    SystemInfo& system = posixSystemInfo();
    for (const std::string& name : {system.hostName(), system.computerName()}) {
      if (!name.empty() && strcasecmp(name.c_str(), target.c_str()) == 0) return true;
    }
    return false;
  }

  std::string recordsPath_;
};

}  // namespace

std::unique_ptr<Messenger> newLoginTerminalMessenger(const std::string& loginRecordsPath) {
  return std::make_unique<TerminalMessenger>(loginRecordsPath);
}

namespace {

TerminalMessenger& processMessenger() {
  static TerminalMessenger messenger(_PATH_UTMPX);
  return messenger;
}

}  // namespace

Messenger& posixMessenger() { return processMessenger(); }

void setLoginRecordsFile(const std::string& path) {
  if (!path.empty()) processMessenger().setRecordsPath(path);
}

}  // namespace orvik
