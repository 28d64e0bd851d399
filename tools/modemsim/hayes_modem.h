// The simulated Hayes modem as the line sees it: command lines in, result
// codes out, a dial that ends in CONNECT (then data until "+++"), BUSY or
// NO CARRIER, and the faults a paging test needs (a silent modem, one that
// answers noise, one that streams bytes without end). Every line received
// is logged when its "\r" arrives, with what the modem made of it.
//
// It does no I/O: the main loop hands in the bytes that arrived and the
// time, and takes the bytes that are due. Single-threaded.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "upssim/device_loop.h"
#include "upssim/sim_log.h"

namespace orvik::modemsim {

enum class DialResult { kConnect, kBusy, kNoCarrier };

struct ModemSettings {
  DialResult dialResult = DialResult::kConnect;
  int dialMs = 3000;     // from the dial command to its result
  bool silent = false;   // results are decided and logged, never sent
  bool garbage = false;  // every result is replaced by noise of its length
  bool stream = false;   // noise flows out all the time, whatever happens
};

class HayesModem : public upssim::LineDevice {
 public:
  // Stream noise: this many bytes every kStreamEveryMs.
  static constexpr int kStreamEveryMs = 10;
  static constexpr int kStreamChunk = 8;
  // A command line longer than this is refused with ERROR.
  static constexpr size_t kMaxLine = 256;

  explicit HayesModem(upssim::SimLog& log) : log_(log) {}

  ModemSettings& settings() { return settings_; }

  void receive(std::string_view bytes, int64_t nowMs) override;
  // Time passes: a dial reaches its result.
  void tick(int64_t nowMs) override;
  // When tick() or takeOutput() next has work, or -1.
  int64_t nextDeadlineMs() const override;
  // The bytes due by nowMs, in order; results are logged as sent.
  std::string takeOutput(int64_t nowMs) override;

  // One control command line; the answer line without a line end. The
  // modem's settings take effect whenever they are made.
  std::string control(std::string_view line);
  std::string control(std::string_view line, int64_t) override { return control(line); }
  // "ok state=... " for the status command.
  std::string statusLine() const;

 private:
  enum class State { kCommand, kDialling, kOnline };

  void finishLine(int64_t nowMs);
  // Runs the commands of one "AT" line, "AT" and "\r" taken off.
  void runCommands(const std::string& commands, int64_t nowMs);
  void result(const char* code, int64_t dueMs);
  void hangUp();
  std::string noise(size_t length);

  struct Outgoing {
    int64_t dueMs;
    std::string bytes;
    bool logged;  // a result code, written to the log as it leaves
  };

  upssim::SimLog& log_;
  ModemSettings settings_;
  State state_ = State::kCommand;
  bool echo_ = true;
  bool offHook_ = false;  // dialled and not hung up since
  std::string line_;
  bool escaped_ = false;  // the line being collected held the escape "+++"
  int64_t dialDoneMs_ = 0;
  bool dialReturnsToCommand_ = false;  // the dial string ended in ";"
  int64_t nextStreamMs_ = -1;
  int calls_ = 0;
  std::deque<Outgoing> outgoing_;
  uint32_t noiseState_ = 0x9E3779B9u;
};

}  // namespace orvik::modemsim
