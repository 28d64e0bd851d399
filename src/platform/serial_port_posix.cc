#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <mutex>
#include <optional>

#include "platform/posix_backends.h"

namespace orvik {
namespace {

struct SpeedCode {
  uint32_t baud;
  speed_t code;
};

constexpr SpeedCode kSpeeds[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},     {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},   {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200}, {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400},
};

int64_t nowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void sleepUntil(int64_t deadlineMs) {
  for (int64_t rest = deadlineMs - nowMs(); rest > 0; rest = deadlineMs - nowMs()) {
    timespec ts{static_cast<time_t>(rest / 1000), static_cast<long>((rest % 1000) * 1000000)};
    nanosleep(&ts, nullptr);
  }
}

// A Windows port has no line discipline; a tty gets the same by switching
// off echo, line editing, signals, character translation and XON/XOFF, which
// would otherwise mangle binary frames and echo commands back to the UPS.
void makeRaw(termios& t) {
  t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
  t.c_oflag &= ~OPOST;
  t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~CRTSCTS;
  // Modem-status lines must not hang the port up: UPS cables rarely wire DCD.
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
}

// Pseudo-terminals have no modem lines; failures here are expected and harmless.
void setModemLine(int fd, int line, bool on) { ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line); }

class PosixSerialPort final : public SerialPort {
 public:
  explicit PosixSerialPort(int fd) : fd_(fd) {}
  ~PosixSerialPort() override {
    ioctl(fd_, TIOCNXCL);
    close(fd_);
  }

  bool readSettings(LineSettings* out) override {
    termios t{};
    if (tcgetattr(fd_, &t) != 0) return false;
    out->baudRate = 0;
    for (const SpeedCode& s : kSpeeds) {
      if (s.code == cfgetospeed(&t)) out->baudRate = s.baud;
    }
    switch (t.c_cflag & CSIZE) {
      case CS5:
        out->dataBits = 5;
        break;
      case CS6:
        out->dataBits = 6;
        break;
      case CS7:
        out->dataBits = 7;
        break;
      default:
        out->dataBits = 8;
        break;
    }
    if ((t.c_cflag & PARENB) == 0) {
      out->parity = Parity::kNone;
    } else if (t.c_cflag & CMSPAR) {
      out->parity = (t.c_cflag & PARODD) ? Parity::kMark : Parity::kSpace;
    } else {
      out->parity = (t.c_cflag & PARODD) ? Parity::kOdd : Parity::kEven;
    }
    out->stopBits = (t.c_cflag & CSTOPB) ? StopBits::kTwo : StopBits::kOne;
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(fd_, TIOCMGET, &lines);
    out->dtrControl = (lines & TIOCM_DTR) ? kLineEnable : kLineDisable;
    out->rtsControl = (t.c_cflag & CRTSCTS) ? kLineHandshake
                      : (lines & TIOCM_RTS) ? kLineEnable
                                            : kLineDisable;
    return true;
  }

  bool applySettings(const LineSettings& settings) override {
    const SpeedCode* speed = nullptr;
    for (const SpeedCode& s : kSpeeds) {
      if (s.baud == settings.baudRate) speed = &s;
    }
    if (speed == nullptr || settings.dataBits < 5 || settings.dataBits > 8) return false;
    termios t{};
    if (tcgetattr(fd_, &t) != 0) return false;
    cfsetispeed(&t, speed->code);
    cfsetospeed(&t, speed->code);
    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag = (t.c_cflag & ~CSIZE) | kSizes[settings.dataBits - 5];
    t.c_cflag &= ~(PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    switch (settings.parity) {
      case Parity::kNone:
        break;
      case Parity::kOdd:
        t.c_cflag |= PARENB | PARODD;
        break;
      case Parity::kEven:
        t.c_cflag |= PARENB;
        break;
      case Parity::kMark:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
      case Parity::kSpace:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    }
    // One and a half stop bits exist only with 5 data bits, where CSTOPB means exactly that.
    if (settings.stopBits != StopBits::kOne) t.c_cflag |= CSTOPB;
    // RTS/CTS is the handshake termios offers; DTR/DSR handshake and RTS
    // toggling have no termios form, so those lines are simply held set.
    if (settings.rtsControl == kLineHandshake) t.c_cflag |= CRTSCTS;
    if (tcsetattr(fd_, TCSANOW, &t) != 0) return false;
    setModemLine(fd_, TIOCM_DTR, settings.dtrControl != kLineDisable);
    if (settings.rtsControl != kLineHandshake) {
      setModemLine(fd_, TIOCM_RTS, settings.rtsControl != kLineDisable);
    }
    return true;
  }

  bool purge() override { return tcflush(fd_, TCIOFLUSH) == 0; }

  int write(const unsigned char* bytes, int count) override {
    int done = 0;
    while (done < count) {
      const ssize_t n = ::write(fd_, bytes + done, static_cast<size_t>(count - done));
      if (n > 0) {
        done += static_cast<int>(n);
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else if (n < 0 && errno == EAGAIN) {
        // A full output buffer drains at line speed; a stalled handshake does not.
        pollfd p{fd_, POLLOUT, 0};
        if (poll(&p, 1, kWriteStallMs) <= 0 || (p.revents & POLLOUT) == 0) break;
      } else {
        break;
      }
    }
    return done > 0 || count == 0 ? done : -1;
  }

  int read(unsigned char* buffer, int max) override {
    if (failed_) return -1;
    if (max <= 0) return 0;
    // With VMIN and VTIME 0 an empty read is normal.
    const ssize_t n = ::read(fd_, buffer, static_cast<size_t>(max));
    if (n >= 0) return static_cast<int>(n);
    if (errno == EAGAIN || errno == EINTR) return 0;
    failed_ = true;
    return -1;
  }

  // A hung-up descriptor polls readable for ever, so a hang-up marks the
  // port failed and from then on waits just sleep.
  bool waitReadable(int64_t ms) override {
    const int64_t deadline = nowMs() + (ms > 0 ? ms : 0);
    while (!failed_) {
      const int64_t rest = deadline - nowMs();
      pollfd p{fd_, POLLIN, 0};
      const int ready = poll(&p, 1, rest > 0 ? static_cast<int>(rest) : 0);
      if (ready < 0 && errno == EINTR) continue;
      if (ready == 0) return false;
      if (ready > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0) return true;
      failed_ = true;
    }
    sleepUntil(deadline);
    return false;
  }

 private:
  static constexpr int kWriteStallMs = 1000;
  const int fd_;
  bool failed_ = false;
};

class PosixSerialPorts final : public SerialPorts {
 public:
  void setDeviceFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    deviceFile_ = path;
  }

  std::unique_ptr<SerialPort> open(const char* name) override {
    std::string file;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!deviceFile_) {
        const std::string program = posixSystemInfo().programPath();
        const auto slash = program.rfind('/');
        deviceFile_ =
            slash == std::string::npos ? "" : program.substr(0, slash + 1) + "platform.ini";
      }
      file = *deviceFile_;
    }
    const PlatformIni ini = file.empty() ? PlatformIni{} : PlatformIni::load(file);
    const std::string path = serialDevicePath(ini, name);
    if (path.empty()) return nullptr;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    // TIOCEXCL keeps out other opens, but not root's; the lock covers that.
    termios t{};
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || tcgetattr(fd, &t) != 0 || ioctl(fd, TIOCEXCL) != 0) {
      close(fd);
      return nullptr;
    }
    makeRaw(t);
    if (tcsetattr(fd, TCSANOW, &t) != 0) {
      ioctl(fd, TIOCNXCL);
      close(fd);
      return nullptr;
    }
    return std::make_unique<PosixSerialPort>(fd);
  }

 private:
  std::mutex mutex_;
  std::optional<std::string> deviceFile_;  // unset: platform.ini beside the program
};

PosixSerialPorts& ports() {
  static PosixSerialPorts instance;
  return instance;
}

}  // namespace

std::string serialDevicePath(const PlatformIni& ini, const std::string& name) {
  if (name.size() < 4 || name.size() > 7) return "";
  for (int i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return "";
  }
  int number = 0;
  for (size_t i = 3; i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return "";
    number = number * 10 + (name[i] - '0');
  }
  if (number < 1) return "";
  const std::string key = "COM" + std::to_string(number);
  return ini.get(key, "/dev/ttyS" + std::to_string(number - 1));
}

void setSerialDeviceFile(const std::string& iniPath) { ports().setDeviceFile(iniPath); }

SerialPorts& posixSerialPorts() { return ports(); }

}  // namespace orvik
