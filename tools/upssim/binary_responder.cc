#include "binary_responder.h"

#include <algorithm>
#include <cmath>

namespace orvik::upssim {

namespace {

constexpr unsigned char kStatus = 0x01;
constexpr unsigned char kTest = 0x03;
constexpr unsigned char kRestore = 0x04;
constexpr unsigned char kModeOnBattery = 0xB9;
constexpr unsigned char kModeOnMains = 0xBA;
constexpr unsigned char kShutdown = 0xBC;

// Restore time meaning "none".
constexpr int kNoRestoreHi = 0x76;
constexpr int kNoRestoreLo = 0x1D;

char byte(long value) { return static_cast<char>(std::clamp(value, 0L, 255L)); }

// Low four bits of byte 12: the nominal output voltage.
int voltageCode(int volts) {
  switch (volts) {
    case 100:
      return 0;
    case 110:
      return 1;
    case 115:
      return 2;
    case 120:
      return 3;
    case 200:
      return 7;
    case 220:
      return 8;
    case 230:
      return 9;
    case 240:
      return 10;
    default:
      return 15;
  }
}

}  // namespace

// > 01
// < 19 64 73 73 32 00 32 00 00 00 00 4F 29 00 00 31
//   byte 0 load %, 1 battery charge %, 2 input V / 2, 3 output V / 2,
//   4 input Hz, 6 output Hz (0 when absent), 9 status: 01 utility fail,
//   02 battery low, 08 boost or trim active, 10 boost (clear: trim),
//   20 overload; 10 status: 02 replace battery, 04 test running;
//   11 "O" (variant 1) or "K" (variant 2); 12 high nibble model class 2,
//   low nibble nominal voltage code (9 = 230 V); 15 model byte 31.
std::string BinaryResponder::statusFrame() const {
  const UpsState& s = ups_.state();
  Readings r = ups_.readings();
  std::string frame(16, '\0');
  frame[0] = byte(r.loadPercent);
  frame[1] = byte(r.batteryCharge);
  frame[2] = byte(std::lround(r.inputVoltage / 2));
  frame[3] = byte(std::lround(r.outputVoltage / 2));
  frame[4] = byte(std::lround(r.inputFrequency));
  frame[6] = byte(std::lround(r.outputFrequency));
  frame[9] = byte((r.utilityFail ? 0x01 : 0) | (r.batteryLow ? 0x02 : 0) |
                  (r.boost || r.trim ? 0x08 : 0) | (r.boost ? 0x10 : 0) | (r.overload ? 0x20 : 0));
  frame[10] = byte((s.batteryReplace ? 0x02 : 0) | (r.testRunning ? 0x04 : 0));
  frame[11] = s.binaryVariant == 2 ? 'K' : 'O';
  frame[12] = byte(0x20 | voltageCode(s.nominalOutputVoltage));
  frame[15] = 0x31;
  return frame;
}

void BinaryResponder::flushNoise(std::vector<Exchange>* out) {
  if (noise_.empty()) return;
  out->push_back({noise_, "", "ignored: not a command"});
  noise_.clear();
}

void BinaryResponder::receive(std::string_view bytes, int64_t nowMs, std::vector<Exchange>* out) {
  for (char c : bytes) {
    unsigned char b = static_cast<unsigned char>(c);
    if (!pending_.empty()) {
      pending_ += c;
      if (pending_.size() == 3) complete(nowMs, out);
      continue;
    }
    switch (b) {
      case kStatus:
      case kTest:
      case kModeOnBattery:
      case kModeOnMains:
        flushNoise(out);
        pending_ = c;
        complete(nowMs, out);
        break;
      case kRestore:
      case kShutdown:
        flushNoise(out);
        pending_ = c;
        break;
      default:
        noise_ += c;
    }
  }
  flushNoise(out);
  lastByteMs_ = nowMs;
}

void BinaryResponder::complete(int64_t nowMs, std::vector<Exchange>* out) {
  ups_.advance(nowMs);
  Exchange exchange{pending_, "", ""};
  UpsState& s = ups_.state();
  unsigned char command = static_cast<unsigned char>(pending_[0]);
  int hi = pending_.size() > 1 ? static_cast<unsigned char>(pending_[1]) : 0;
  int lo = pending_.size() > 2 ? static_cast<unsigned char>(pending_[2]) : 0;
  if (command == kStatus) {
    exchange.reply = statusFrame();
    exchange.note = "status";
  } else {
    exchange.reply = pending_;
    if (command == kTest) {
      bool started = ups_.startTest(nowMs, s.testSeconds);
      exchange.note = started ? "test " + std::to_string(s.testSeconds) + " s" : "test refused";
    } else if (command == kRestore) {
      bool none = hi == kNoRestoreHi && lo == kNoRestoreLo;
      s.pendingRestoreSeconds = none ? -1 : (hi * 255 + lo) * s.minuteSeconds;
      exchange.note = none ? "restore time none"
                           : "restore time " + std::to_string(s.pendingRestoreSeconds) + " s";
    } else if (command == kShutdown) {
      if (lo > 59) {
        ups_.cancelShutdown(nowMs, false);
        exchange.note = "cancel shutdown (seconds byte above 59)";
      } else {
        int delay = hi * s.minuteSeconds + lo;
        int restore = s.pendingRestoreSeconds;
        s.pendingRestoreSeconds = -1;
        ups_.scheduleShutdown(nowMs, delay, restore);
        exchange.note = "shutdown after " + std::to_string(delay) + " s, restore " +
                        (restore < 0 ? std::string("with mains") : std::to_string(restore) + " s");
      }
    } else {
      exchange.note =
          command == kModeOnBattery ? "switch-off mode: on battery" : "switch-off mode: on mains";
    }
  }
  pending_.clear();
  out->push_back(std::move(exchange));
}

void BinaryResponder::idle(int64_t nowMs, std::vector<Exchange>* out) {
  if (pending_.empty() || nowMs < lastByteMs_ + kCommandSilenceMs) return;
  out->push_back({pending_, "", "ignored: incomplete command"});
  pending_.clear();
}

int64_t BinaryResponder::nextDeadlineMs() const {
  return pending_.empty() ? -1 : lastByteMs_ + kCommandSilenceMs;
}

}  // namespace orvik::upssim
