// Which table command the poll cycle sends next: the position of the last
// command sent and the run-time enabled flag of each polled group.
//
// Group 1 (measurements) is walked on every lap. Groups 2 and 3 are walked
// once each time they are enabled: they are disabled as the walk enters
// them. Commands with a clear poll flag are passed over without sending.
// Group 4 (control commands) is never polled.
//
// Threads: the poll task's only.
#pragma once

#include "service/link/protocol_tables.h"

namespace orvik {

class PollCursor {
 public:
  // The command after the last one sent, moving the position there, or
  // nullptr when no enabled group holds a polled command (the walk then gives
  // up after one full lap instead of running forever).
  const CommandRecord* nextTableCommand(const ProtocolTables& tables);

  // Groups 1 to 3 (others are ignored) are walked again on the next lap that
  // reaches them.
  void enableGroup(int group);

  int group() const { return group_; }
  int index() const { return index_; }

 private:
  // The walk starts at the end of group 3, so that it enters group 1 first
  // unless group 3 holds commands.
  int group_ = 3;
  int index_ = 0;
  bool enabled_[3] = {true, true, true};
};

}  // namespace orvik
