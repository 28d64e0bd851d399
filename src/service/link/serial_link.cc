#include "service/link/serial_link.h"

#include <algorithm>
#include <string>
#include <utility>

namespace orvik {
namespace {

constexpr int64_t kSettleBeforeSettingsMs = 1000;
constexpr int kTransactionFlushPauseMs = 60;

void setEightNoneOne(LineSettings& settings) {
  settings.dataBits = 8;
  settings.parity = Parity::kNone;
  settings.stopBits = StopBits::kOne;
}

}  // namespace

std::shared_ptr<SerialPort> SerialLink::portIn(int slot) const {
  if (slot < 0 || slot >= kPortSlotCount) return nullptr;
  return slots_[slot].handle.load();
}

int SerialLink::openPort(int slot, int portIndex) {
  if (slot < 0 || slot >= kPortSlotCount || portIndex < 0 || portIndex > kMaxPortIndex) return -1;
  PortSlot& s = slots_[slot];
  // A second open of the same device would fail anyway, and replacing the
  // handle would silently close a port somebody is using.
  if (s.handle.load()) return -1;
  const std::string name = "COM" + std::to_string(portIndex + 1);
  std::unique_ptr<SerialPort> port = ports_.open(name.c_str());
  if (!port) return -1;
  LineSettings settings;
  if (!port->readSettings(&settings)) return -1;
  settings.baudRate = s.baudRate;
  setEightNoneOne(settings);
  settings.dtrControl = s.dtrControl & 3;
  settings.rtsControl = s.rtsControl & 3;
  clock_.sleepMs(kSettleBeforeSettingsMs);
  if (!port->applySettings(settings)) return -1;
  s.handle.store(std::shared_ptr<SerialPort>(std::move(port)));
  return 0;
}

int SerialLink::closePort(int slot) {
  if (slot >= 0 && slot < kPortSlotCount) slots_[slot].handle.store(nullptr);
  return 0;
}

int SerialLink::setPortSpeed(int slot, uint32_t speed) {
  const std::shared_ptr<SerialPort> port = portIn(slot);
  if (!port) return -1;
  port->purge();
  LineSettings settings;
  if (!port->readSettings(&settings)) return -1;
  settings.baudRate = speed;
  setEightNoneOne(settings);
  settings.dtrControl = kLineEnable;
  settings.rtsControl = kLineDisable;
  const bool applied = port->applySettings(settings);
  port->purge();
  return applied ? 0 : -1;
}

int SerialLink::flushPort(int slot, int pauseMs) {
  const std::shared_ptr<SerialPort> port = portIn(slot);
  if (!port) return -1;
  clock_.sleepMs(pauseMs);
  return port->purge() ? 0 : -1;
}

int SerialLink::writeBytes(int slot, const char* bytes, int count, int delayMs) {
  const std::shared_ptr<SerialPort> port = portIn(slot);
  if (!port) return -1;
  for (int i = 0; i < count; ++i) {
    const unsigned char byte = static_cast<unsigned char>(bytes[i]);
    port->write(&byte, 1);
    if (delayMs > 0) clock_.sleepMs(delayMs);
  }
  return 0;
}

// Instead of polling the driver every millisecond, the loop sleeps in the
// port's readiness wait until input arrives or the silence limit passes; the
// points at which it stops are the same as with 1 ms polling.
int SerialLink::collectReply(int slot, char* buffer, int* count, int terminator, int maxLength,
                             int timeoutMs, int64_t* holdUntilMs, int64_t deadlineMs) {
  *count = 0;
  buffer[0] = '\0';
  *holdUntilMs = clock_.monotonicMs();
  const std::shared_ptr<SerialPort> port = portIn(slot);
  if (!port) return -1;
  const int limit = std::max(maxLength, 0);
  int64_t lastActivity = clock_.monotonicMs();
  for (;;) {
    if (slots_[slot].handle.load() != port) {
      buffer[*count] = '\0';
      *holdUntilMs = clock_.monotonicMs();
      return -1;
    }
    const int room = limit - *count;
    const int got =
        room > 0 ? port->read(reinterpret_cast<unsigned char*>(buffer) + *count, room) : 0;
    if (got > 0) {
      const char* chunk = buffer + *count;
      *count += got;
      if (*count >= limit) break;
      if (terminator != kNoTerminator && std::any_of(chunk, chunk + got, [terminator](char c) {
            return static_cast<signed char>(c) == terminator;
          })) {
        break;
      }
      lastActivity = clock_.monotonicMs();
    }
    const int64_t now = clock_.monotonicMs();
    if (now > lastActivity + timeoutMs || now >= deadlineMs) break;
    const int64_t untilSilence = std::min(lastActivity + timeoutMs + 1, deadlineMs) - now;
    // With no room (a maximum length of 0) input would make the wait return at once.
    if (room > 0) {
      port->waitReadable(untilSilence);
    } else {
      clock_.sleepMs(untilSilence);
    }
  }
  buffer[*count] = '\0';
  *holdUntilMs = std::min(lastActivity + timeoutMs, deadlineMs);
  return 0;
}

void SerialLink::holdUntil(int64_t untilMs) {
  const int64_t held = untilMs - clock_.monotonicMs();
  if (held > 0) clock_.sleepMs(held);
}

int SerialLink::readReply(int slot, char* buffer, int* count, int terminator, int maxLength,
                          int timeoutMs) {
  int64_t holdUntilMs = 0;
  const int result =
      collectReply(slot, buffer, count, terminator, maxLength, timeoutMs, &holdUntilMs);
  if (result == 0) holdUntil(holdUntilMs);
  return result;
}

int SerialLink::readReplyWithin(int slot, char* buffer, int* count, int terminator, int maxLength,
                                int timeoutMs, int limitMs) {
  int64_t holdUntilMs = 0;
  const int result = collectReply(slot, buffer, count, terminator, maxLength, timeoutMs,
                                  &holdUntilMs, clock_.monotonicMs() + std::max(limitMs, 0));
  if (result == 0) holdUntil(holdUntilMs);
  return result;
}

PortHold SerialLink::beginTransaction(const char* command, int commandLength, int byteDelayMs,
                                      int settleMs, char* reply, int* replyCount, int terminator,
                                      int maxReplyLength, int timeoutMs) {
  while (portLock_.test_and_set(std::memory_order_acquire)) {
    portLock_.wait(true, std::memory_order_relaxed);
  }
  flushPort(kUpsSlot, kTransactionFlushPauseMs);
  writeBytes(kUpsSlot, command, commandLength, byteDelayMs);
  clock_.sleepMs(settleMs);
  int64_t holdUntilMs = 0;
  collectReply(kUpsSlot, reply, replyCount, terminator, maxReplyLength, timeoutMs, &holdUntilMs);
  return PortHold(this, holdUntilMs);
}

void SerialLink::endTransaction(int64_t holdUntilMs) {
  holdUntil(holdUntilMs);
  portLock_.clear(std::memory_order_release);
  portLock_.notify_one();
  clock_.yield();
}

int SerialLink::serialTransaction(const char* command, int commandLength, int byteDelayMs,
                                  int settleMs, char* reply, int* replyCount, int terminator,
                                  int maxReplyLength, int timeoutMs) {
  beginTransaction(command, commandLength, byteDelayMs, settleMs, reply, replyCount, terminator,
                   maxReplyLength, timeoutMs)
      .finish();
  return 0;
}

PortHold::PortHold(PortHold&& other) noexcept
    : link_(std::exchange(other.link_, nullptr)), untilMs_(other.untilMs_) {}

PortHold& PortHold::operator=(PortHold&& other) noexcept {
  if (this != &other) {
    finish();
    link_ = std::exchange(other.link_, nullptr);
    untilMs_ = other.untilMs_;
  }
  return *this;
}

void PortHold::finish() {
  if (link_ != nullptr) std::exchange(link_, nullptr)->endTransaction(untilMs_);
}

}  // namespace orvik
