// Serial ports as the UPS link and the paging modem use them: opened by the
// system's port name ("COM1", "COM2", ...), raw 8-bit bytes both ways, reads
// that never block, and a bounded wait for input so that a reader sleeps
// instead of polling.
//
// A SerialPort belongs to one thread at a time (the link serialises its
// users); destroying it closes the device. A port whose device has gone away
// (adapter pulled, peer closed) stays a valid object: its reads fail, its
// writes fail and its waits sleep their full time.
#pragma once

#include <cstdint>
#include <memory>

namespace orvik {

// The DTR and RTS control values of the system's line settings.
enum LineControl : uint32_t {
  kLineDisable = 0,    // line cleared
  kLineEnable = 1,     // line set
  kLineHandshake = 2,  // line driven by flow control
  kLineToggle = 3,     // RTS only: set while sending
};

enum class Parity { kNone, kOdd, kEven, kMark, kSpace };
enum class StopBits { kOne, kOneAndHalf, kTwo };

struct LineSettings {
  uint32_t baudRate = 0;
  int dataBits = 8;
  Parity parity = Parity::kNone;
  StopBits stopBits = StopBits::kOne;
  uint32_t dtrControl = kLineEnable;  // a LineControl value
  uint32_t rtsControl = kLineEnable;  // a LineControl value
};

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // The line settings as the driver has them now; false when they cannot be read.
  virtual bool readSettings(LineSettings* out) = 0;
  // Applies the settings; whatever LineSettings does not name is kept. False
  // when the driver refuses them (an unsupported speed, a device gone).
  virtual bool applySettings(const LineSettings& settings) = 0;
  // Discards the input and output the driver holds and aborts reads and
  // writes in progress.
  virtual bool purge() = 0;
  // Returns how many bytes the driver took, or -1.
  virtual int write(const unsigned char* bytes, int count) = 0;
  // Takes what has arrived, at most max bytes, without waiting: the count,
  // 0 when nothing is there, -1 when the device has failed.
  virtual int read(unsigned char* buffer, int max) = 0;
  // Sleeps until input is there or ms milliseconds have passed on the
  // platform clock; true when input is there. Returns at once when input is
  // already waiting.
  virtual bool waitReadable(int64_t ms) = 0;
};

class SerialPorts {
 public:
  virtual ~SerialPorts() = default;

  // Opens the port named "COMn" (n from 1) for reading and writing, not
  // shared with any other program, existing devices only. The line is raw
  // from the start: no echo, no character translation, no flow control until
  // settings ask for it. Null when the port cannot be opened.
  virtual std::unique_ptr<SerialPort> open(const char* name) = 0;
};

}  // namespace orvik
