// Control commands: how a script or a person changes the simulated UPS at run
// time ("power fail", "set input-voltage 231", ...). One command a line;
// every command answers one line, "ok ..." or "error: ...". The same
// commands arrive over the control socket and from --set at start-up.
// Single-threaded: run by the main loop.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ups_state.h"

namespace orvik::upssim {

// Faults of the serial line rather than of the UPS.
struct LinkFaults {
  bool silent = false;   // commands are heard and obeyed, nothing is sent back
  bool garbage = false;  // every reply is replaced by noise of the same length
  int replyDelayMs = 0;  // replies leave this long after the command
};

struct ControlTarget {
  Ups& ups;
  LinkFaults& faults;
  int protocol;
};

std::string runControlCommand(std::string_view line, ControlTarget target, int64_t nowMs);

// One line "name=value ..." describing the state, answered by "status".
std::string statusLine(const ControlTarget& target, int64_t nowMs);

// The command reference, for --help and "help".
std::string controlHelp();

}  // namespace orvik::upssim
