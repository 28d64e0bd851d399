// The simulated UPS as the line sees it: a Ups, the responder of its
// protocol, the faults of the line (silence, noise, slow replies) and the
// log of everything received, sent and changed. It does no I/O: the main
// loop hands in the bytes that arrived and the time, and takes the bytes
// that are due to be written. Single-threaded.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control.h"
#include "device_loop.h"
#include "responder.h"
#include "sim_log.h"
#include "ups_state.h"

namespace orvik::upssim {

class Simulator : public LineDevice {
 public:
  // protocol must be 1 to 9; plainQ1 (with protocol 4, as a host sees it)
  // simulates the plain "Q1" unit, starting from its state.
  Simulator(int protocol, SimLog& log, bool plainQ1 = false);

  Ups& ups() { return ups_; }
  LinkFaults& faults() { return faults_; }

  void receive(std::string_view bytes, int64_t nowMs) override;
  // Time passes: the UPS's timed changes, commands ended by silence.
  void tick(int64_t nowMs) override;
  // When tick() or takeOutput() next has work, or -1.
  int64_t nextDeadlineMs() const override;
  // The reply bytes due by nowMs, in order; each is logged as sent.
  std::string takeOutput(int64_t nowMs) override;

  // One control command line; the answer line without a line end.
  std::string control(std::string_view line, int64_t nowMs) override;

 private:
  void handle(std::vector<Exchange>& exchanges, int64_t nowMs);
  // State changes a command causes are logged after the command's line.
  void holdStateLines() { held_ = std::vector<std::string>(); }
  void releaseStateLines();
  std::string noise(const std::string& reply);

  struct Outgoing {
    int64_t dueMs;
    std::string bytes;
    bool garbage;
  };

  int protocol_;
  SimLog& log_;
  Ups ups_;
  std::unique_ptr<Responder> responder_;
  LinkFaults faults_;
  std::deque<Outgoing> outgoing_;
  uint32_t noiseState_ = 0x2545F491u;
  std::optional<std::vector<std::string>> held_;
};

}  // namespace orvik::upssim
