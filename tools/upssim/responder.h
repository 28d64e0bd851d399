// A protocol responder: the part of the simulated UPS that reads commands
// from the line and answers them, acting on the Ups. One implementation per
// protocol family: binary (protocol 1), "Q1" text (2 to 4), two-letter text
// (5 to 9). Single-threaded: owned by the Simulator.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ups_state.h"

namespace orvik::upssim {

// One command taken from the line and the UPS's answer to it.
struct Exchange {
  std::string request;  // the bytes as received, line end included
  std::string reply;    // bytes to send back; empty: no answer
  std::string note;     // what the UPS made of it, for the log
};

class Responder {
 public:
  virtual ~Responder() = default;

  // Bytes from the host; every command they complete is appended to out.
  virtual void receive(std::string_view bytes, int64_t nowMs, std::vector<Exchange>* out) = 0;
  // Time passes without input: a command ended by silence is completed
  // (text families) or a cut-off command dropped (binary).
  virtual void idle(int64_t nowMs, std::vector<Exchange>* out) = 0;
  // When idle() next has something to do, or -1.
  virtual int64_t nextDeadlineMs() const = 0;
};

// Protocol 1 to 9; null for any other number. plainQ1: the plain "Q1" unit
// (see q1_responder.h), whatever protocol says.
std::unique_ptr<Responder> makeResponder(int protocol, Ups& ups, bool plainQ1 = false);

// The firmware version the UPS reports unless one is set; for protocols 5
// to 9 it is also what tells them apart ("IS").
std::string defaultVersion(int protocol);

// A command that stays incomplete this long after its last byte is ended by
// silence. The host leaves at least 600 ms between exchanges and at most
// 20 ms between the bytes of one command.
constexpr int64_t kCommandSilenceMs = 250;

}  // namespace orvik::upssim
