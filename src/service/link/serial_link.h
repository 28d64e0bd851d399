// The service's serial ports: a table of two port slots and the operations
// the protocol engine and the modem pager run on them.
//
// Slot 0 is the UPS link, used from the poll task's thread; slot 1 is the
// paging modem, used from the paging worker's thread. closePort may also
// come from the window thread at service stop; a read running on the slot
// then ends with -1 when its current wait for input is over (at the latest
// when its silence limit passes), and the device is closed when that read
// lets go of it.
//
// Every operation returns 0 on success and -1 on failure; an operation on a
// closed slot fails at once without touching the operating system. All
// waiting is done on the platform clock.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/platform.h"

namespace orvik {

inline constexpr int kUpsSlot = 0;
inline constexpr int kModemSlot = 1;
inline constexpr int kPortSlotCount = 2;
inline constexpr int kNoTerminator = -1;
// Port indexes name "COM1" to "COM256".
inline constexpr int kMaxPortIndex = 255;

class SerialLink;

// The rest of an exchange whose read has ended: the UPS slot stays locked
// and the line held until finish() (or the destructor) has waited out the
// read's hold, exactly as a whole serialTransaction would. Lets the caller
// use a complete reply at once without moving the next exchange on the wire.
// Move-only; finished on the thread that began the exchange.
class PortHold {
 public:
  PortHold() = default;
  PortHold(PortHold&& other) noexcept;
  PortHold& operator=(PortHold&& other) noexcept;
  ~PortHold() { finish(); }

  // Sleeps until the hold ends, then lets the next exchange have the port.
  // Does nothing the second time, or on an empty hold.
  void finish();

 private:
  friend class SerialLink;
  PortHold(SerialLink* link, int64_t untilMs) : link_(link), untilMs_(untilMs) {}

  SerialLink* link_ = nullptr;
  int64_t untilMs_ = 0;
};

class SerialLink {
 public:
  SerialLink(Clock& clock, SerialPorts& ports) : clock_(clock), ports_(ports) {}
  explicit SerialLink(const Platform& platform) : SerialLink(*platform.clock, *platform.serial) {}
  SerialLink(const SerialLink&) = delete;
  SerialLink& operator=(const SerialLink&) = delete;

  // Opens "COM<portIndex + 1>" into a closed slot: the slot's speed, 8 data
  // bits, no parity, one stop bit, the slot's DTR and RTS controls, applied
  // 1000 ms after the port was opened so that the device can settle. Fails
  // when the slot already holds a port (close it first), when the port
  // cannot be opened, or when its settings cannot be read or applied; the
  // slot is then closed.
  int openPort(int slot, int portIndex);
  // Closes the slot's port if it has one; always 0.
  int closePort(int slot);
  // Purges, sets the speed, 8N1, DTR set and RTS cleared, and purges again.
  // Protocol identification calls it before every probe.
  int setPortSpeed(int slot, uint32_t speed);
  // Sleeps pauseMs, then discards all pending input and output.
  int flushPort(int slot, int pauseMs);
  // Writes one byte at a time, sleeping delayMs after each when positive. A
  // byte that cannot be written is lost; the rest still go.
  int writeBytes(int slot, const char* bytes, int count, int delayMs);
  // Collects a reply into buffer (which holds maxLength + 1 bytes) and
  // NUL-terminates it; *count tells how many bytes arrived. The reply is
  // complete when it reaches maxLength bytes, or when the chunk just read
  // holds the terminator (compared as a signed byte; kNoTerminator for none).
  // Otherwise collecting ends when nothing has arrived for timeoutMs. Either
  // way the call returns only once timeoutMs have passed since the last
  // chunk before the completing one (or since the call began), so every read
  // lasts at least timeoutMs. Silence is not an error: 0 with *count 0.
  // -1 only when the slot is closed, before or during the read.
  int readReply(int slot, char* buffer, int* count, int terminator, int maxLength, int timeoutMs);
  // readReply that also ends limitMs after it began, whatever still arrives:
  // for a reader that only drains what a device says (the paging modem), so
  // that a device trickling bytes cannot stretch the read chunk by chunk.
  int readReplyWithin(int slot, char* buffer, int* count, int terminator, int maxLength,
                      int timeoutMs, int limitMs);
  // One whole exchange on the UPS slot, one caller at a time: flush with a
  // 60 ms pause, write the command with byteDelayMs between bytes, sleep
  // settleMs, read the reply as readReply does. Always 0; *replyCount tells
  // whether anything came back.
  int serialTransaction(const char* command, int commandLength, int byteDelayMs, int settleMs,
                        char* reply, int* replyCount, int terminator, int maxReplyLength,
                        int timeoutMs);
  // The same exchange, returning as soon as the read has ended (the reply
  // complete, or silence) with the port still locked and the hold still to
  // run in the result. Finish it before the next exchange on this thread.
  [[nodiscard]] PortHold beginTransaction(const char* command, int commandLength, int byteDelayMs,
                                          int settleMs, char* reply, int* replyCount,
                                          int terminator, int maxReplyLength, int timeoutMs);

 private:
  friend class PortHold;

  // A slot's port, shared with a read in progress on another thread. A
  // mutex rather than std::atomic<std::shared_ptr>, whose hidden lock
  // ThreadSanitizer cannot see: it would report every close during a read.
  class PortHandle {
   public:
    std::shared_ptr<SerialPort> load() const {
      std::lock_guard<std::mutex> lock(mutex_);
      return port_;
    }
    void store(std::shared_ptr<SerialPort> port) {
      std::lock_guard<std::mutex> lock(mutex_);
      port_.swap(port);  // the old port closes when the last reader lets go
    }

   private:
    mutable std::mutex mutex_;
    std::shared_ptr<SerialPort> port_;
  };

  struct PortSlot {
    PortHandle handle;
    uint32_t baudRate = 2400;
    uint32_t dtrControl = kLineEnable;  // low 2 bits used
    uint32_t rtsControl = kLineEnable;  // low 2 bits used
  };

  // The slot's port, or null when the slot is closed or does not exist.
  std::shared_ptr<SerialPort> portIn(int slot) const;
  // readReply up to the end of its collecting; *holdUntilMs tells when the
  // read may return (now when it fails).
  // Collecting also stops at deadlineMs.
  int collectReply(int slot, char* buffer, int* count, int terminator, int maxLength, int timeoutMs,
                   int64_t* holdUntilMs, int64_t deadlineMs = INT64_MAX);
  void holdUntil(int64_t untilMs);
  // Waits out a transaction's hold and releases the port lock.
  void endTransaction(int64_t holdUntilMs);

  Clock& clock_;
  SerialPorts& ports_;
  PortSlot slots_[kPortSlotCount];
  std::atomic_flag portLock_;  // held for a whole exchange on the UPS slot
};

}  // namespace orvik
