// Serial devices for tests, on the fake clock. A FakeSerialDevice is a
// scripted UPS: it makes bytes readable at fake-clock times, answers
// commands after set delays, records every byte written with the time it was
// written, and can be unplugged. A port's readiness wait advances the fake
// clock to the next scripted byte or to its deadline, so a read loop runs
// through seconds of line time at once. Every call that would reach the
// operating system is counted. Safe to use from several threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/fake_clock.h"
#include "platform/serial_port.h"

namespace orvik {

struct WrittenByte {
  unsigned char byte;
  int64_t atMs;
};

struct AppliedSettings {
  LineSettings settings;
  int64_t atMs;
};

struct ReplyChunk {
  int64_t afterMs;  // after the command's last byte
  std::string bytes;
};

class FakeSerialDevice {
 public:
  explicit FakeSerialDevice(FakeClock& clock, std::atomic<int>& osCalls)
      : clock_(clock), osCalls_(osCalls) {}

  // Bytes that become readable at a fake-clock time.
  void sendAt(int64_t atMs, const std::string& bytes);
  // Whenever the bytes written since the last purge or answer end with
  // command, the chunks become readable at their offsets; of several
  // commands that match, the longest answers. A later rule for the same
  // command replaces the earlier one.
  void answer(const std::string& command, std::vector<ReplyChunk> reply);
  // Open ports lose the device for good: reads and writes fail, waits sleep
  // their whole time. Opening fails until plugIn().
  void unplug();
  void plugIn();

  // Faults to inject.
  std::atomic<bool> failReadSettings{false};
  std::atomic<bool> failApplySettings{false};
  // The write call with this number (0 for the first since the device was
  // made) fails and its bytes are lost.
  void failWriteCall(int callNumber);
  // Runs on the reader's thread before every read, outside the device's
  // lock: a test's way to act while a read loop is running. Set it before
  // the reader starts.
  std::function<void()> beforeRead;

  // What the device saw.
  std::vector<WrittenByte> written() const;
  std::string writtenText() const;
  std::vector<AppliedSettings> applied() const;
  std::vector<int64_t> settingsReadTimes() const;
  std::vector<int64_t> purgeTimes() const;
  std::vector<int64_t> openTimes() const;
  // Port objects not yet destroyed, including those that lost the device.
  int openPorts() const;

 private:
  friend class FakeSerialPort;
  friend class FakeSerialPorts;

  struct Pending {
    int64_t atMs;
    std::string bytes;
  };

  bool aliveLocked(int generation) const { return present_ && generation == generation_; }
  void receiveLocked(const unsigned char* bytes, int count);
  void queueLocked(int64_t atMs, const std::string& bytes);

  FakeClock& clock_;
  std::atomic<int>& osCalls_;
  mutable std::mutex mutex_;
  bool present_ = true;
  int generation_ = 0;  // moves on every unplug, which kills the ports opened before
  int openPorts_ = 0;   // port objects alive
  int openNow_ = 0;     // of those, ports of the device as it is plugged in now
  int writeCalls_ = 0;
  std::set<int> failingWrites_;
  std::vector<Pending> pending_;  // ordered by time
  std::map<std::string, std::vector<ReplyChunk>> answers_;
  std::string sinceCommand_;
  LineSettings settings_{2400};
  std::vector<WrittenByte> written_;
  std::vector<AppliedSettings> applied_;
  std::vector<int64_t> settingsReads_;
  std::vector<int64_t> purges_;
  std::vector<int64_t> opens_;
};

class FakeSerialPorts final : public SerialPorts {
 public:
  explicit FakeSerialPorts(FakeClock& clock) : clock_(clock) {}

  // Opens a device added with device(); one open port per device at a time.
  std::unique_ptr<SerialPort> open(const char* name) override;

  // The device behind a name, added (plugged in) on first use.
  FakeSerialDevice& device(const std::string& name);
  // Every name open() was asked for, in order.
  std::vector<std::string> openedNames() const;
  int osCalls() const { return osCalls_.load(); }

 private:
  FakeClock& clock_;
  std::atomic<int> osCalls_{0};
  mutable std::mutex mutex_;
  std::map<std::string, std::shared_ptr<FakeSerialDevice>> devices_;
  std::vector<std::string> openedNames_;
};

}  // namespace orvik
