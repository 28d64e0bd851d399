// COM ports through the Win32 communications functions, without overlapped
// I/O: reads return at once (the immediate-return time-outs), and a wait
// for input is a one-byte read whose time-outs say "return with the first
// byte, or after ms": the driver wakes the reader, nobody polls.
#include <windows.h>

#include <cctype>
#include <string>

#include "platform/win32_backends.h"

namespace orvik {
namespace {

constexpr uint32_t kSpeeds[] = {50,    75,    110,   134,    150,    200,    300,    600,
                                1200,  1800,  2400,  4800,   9600,   14400,  19200,  38400,
                                57600, 115200, 128000, 230400, 256000};
// A full output buffer drains at line speed; a stalled handshake does not.
constexpr DWORD kWriteStallMs = 1000;

bool knownSpeed(uint32_t baud) {
  for (uint32_t s : kSpeeds) {
    if (s == baud) return true;
  }
  return false;
}

// "COMn" with n from 1 as the device path that also reaches COM10 and up.
std::string devicePath(const char* name) {
  const std::string text = name ? name : "";
  if (text.size() < 4 || text.size() > 7) return "";
  for (int i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(text[i])) != "COM"[i]) return "";
  }
  int number = 0;
  for (size_t i = 3; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return "";
    number = number * 10 + (text[i] - '0');
  }
  return number < 1 ? "" : "\\\\.\\COM" + std::to_string(number);
}

bool setTimeouts(HANDLE port, DWORD readMultiplier, DWORD readConstant) {
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = readMultiplier;
  timeouts.ReadTotalTimeoutConstant = readConstant;
  timeouts.WriteTotalTimeoutConstant = kWriteStallMs;
  return SetCommTimeouts(port, &timeouts) != 0;
}

// Reads take what is there and return.
bool setImmediateReads(HANDLE port) { return setTimeouts(port, 0, 0); }

class Win32SerialPort final : public SerialPort {
 public:
  Win32SerialPort(HANDLE port, HANDLE lock) : port_(port), lock_(lock) {}
  ~Win32SerialPort() override {
    CloseHandle(port_);
    CloseHandle(lock_);
  }

  bool readSettings(LineSettings* out) override {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port_, &dcb)) return false;
    out->baudRate = dcb.BaudRate;
    out->dataBits = dcb.ByteSize;
    static constexpr Parity kParities[] = {Parity::kNone, Parity::kOdd, Parity::kEven,
                                           Parity::kMark, Parity::kSpace};
    out->parity = dcb.Parity <= SPACEPARITY ? kParities[dcb.Parity] : Parity::kNone;
    out->stopBits = dcb.StopBits == TWOSTOPBITS    ? StopBits::kTwo
                    : dcb.StopBits == ONE5STOPBITS ? StopBits::kOneAndHalf
                                                   : StopBits::kOne;
    out->dtrControl = dcb.fDtrControl;
    out->rtsControl = dcb.fRtsControl;
    return true;
  }

  bool applySettings(const LineSettings& settings) override {
    if (!knownSpeed(settings.baudRate) || settings.dataBits < 5 || settings.dataBits > 8) {
      return false;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port_, &dcb)) return false;
    dcb.BaudRate = settings.baudRate;
    dcb.ByteSize = static_cast<BYTE>(settings.dataBits);
    static constexpr BYTE kParities[] = {NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY,
                                         SPACEPARITY};
    dcb.Parity = kParities[static_cast<int>(settings.parity)];
    dcb.fParity = settings.parity != Parity::kNone;
    static constexpr BYTE kStops[] = {ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS};
    dcb.StopBits = kStops[static_cast<int>(settings.stopBits)];
    dcb.fDtrControl = settings.dtrControl & 3;
    dcb.fRtsControl = settings.rtsControl & 3;
    dcb.fOutxCtsFlow = settings.rtsControl == kLineHandshake;
    dcb.fOutxDsrFlow = settings.dtrControl == kLineHandshake;
    return SetCommState(port_, &dcb) != 0;
  }

  bool purge() override {
    held_ = false;
    return PurgeComm(port_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR) != 0;
  }

  int write(const unsigned char* bytes, int count) override {
    if (count <= 0) return 0;
    DWORD written = 0;
    if (!WriteFile(port_, bytes, static_cast<DWORD>(count), &written, nullptr) && written == 0) {
      return -1;
    }
    return written > 0 ? static_cast<int>(written) : -1;
  }

  int read(unsigned char* buffer, int max) override {
    if (failed_) return -1;
    if (max <= 0) return 0;
    int count = 0;
    if (held_) {
      buffer[count++] = heldByte_;
      held_ = false;
    }
    DWORD got = 0;
    if (count < max && !ReadFile(port_, buffer + count, static_cast<DWORD>(max - count), &got,
                                 nullptr)) {
      if (count > 0) return count;
      failed_ = true;
      return -1;
    }
    return count + static_cast<int>(got);
  }

  // A byte the wait took is held for the next read.
  bool waitReadable(int64_t ms) override {
    if (held_) return true;
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(ms > 0 ? ms : 0);
    if (!failed_) {
      DWORD got = 0;
      const DWORD wait = ms > 0 ? static_cast<DWORD>(ms) : 0;
      const bool armed = wait == 0 || setTimeouts(port_, MAXDWORD, wait);
      const bool read = armed && ReadFile(port_, &heldByte_, 1, &got, nullptr);
      if (wait != 0) setImmediateReads(port_);
      if (read && got == 1) return held_ = true;
      // A device that has gone away may still give empty reads (Wine does
      // for a hung-up terminal); asking for the port's state tells.
      DWORD errors = 0;
      COMSTAT status{};
      if (!read || !ClearCommError(port_, &errors, &status)) failed_ = true;
    }
    for (ULONGLONG now = GetTickCount64(); now < deadline; now = GetTickCount64()) {
      Sleep(static_cast<DWORD>(deadline - now));
    }
    return false;
  }

 private:
  HANDLE port_;
  HANDLE lock_;
  bool failed_ = false;
  bool held_ = false;
  unsigned char heldByte_ = 0;
};

class Win32SerialPorts final : public SerialPorts {
 public:
  std::unique_ptr<SerialPort> open(const char* name) override {
    const std::string path = devicePath(name);
    if (path.empty()) return nullptr;
    // A Windows driver opens a port once; Wine lets a second opener in, so
    // the port also takes a named lock: the UPS link and the modem (or a
    // second service) never share a line.
    HANDLE lock = CreateMutexA(nullptr, FALSE, ("orvik-port-" + path.substr(4)).c_str());
    if (lock == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
      if (lock != nullptr) CloseHandle(lock);
      return nullptr;
    }
    HANDLE port = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
      CloseHandle(lock);
      return nullptr;
    }
    // Raw from the start: no flow control, no character replaced or dropped.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port, &dcb)) {
      CloseHandle(port);
      CloseHandle(lock);
      return nullptr;
    }
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = dcb.fInX = dcb.fErrorChar = dcb.fNull = dcb.fAbortOnError = FALSE;
    if (dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) dcb.fRtsControl = RTS_CONTROL_ENABLE;
    if (dcb.fDtrControl == DTR_CONTROL_HANDSHAKE) dcb.fDtrControl = DTR_CONTROL_ENABLE;
    if (!SetCommState(port, &dcb)) {
      CloseHandle(port);
      CloseHandle(lock);
      return nullptr;
    }
    setImmediateReads(port);
    return std::make_unique<Win32SerialPort>(port, lock);
  }
};

}  // namespace

SerialPorts& win32SerialPorts() {
  static Win32SerialPorts ports;
  return ports;
}

}  // namespace orvik
