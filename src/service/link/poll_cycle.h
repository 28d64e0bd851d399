// The poll cycle: the one step the poll task runs every 100 ms. While no
// protocol is known, a step tries one candidate protocol; once one is
// identified, a step runs one queued UPS command or sends the next command
// of the protocol's tables and decodes the reply into the shared status
// record. The cycle owns the link state, the poll cursor, the tables of the
// identified protocol and the decoder's context, and it sets and clears the
// communication-lost bit of alarmFlags.
//
// Communication is declared lost after three whole probe rounds without an
// answer while searching, or at once when a table command that has answered
// since the protocol was identified fails twice (a second try 600 ms after
// the first). After a loss the search starts again at the protocol that was
// in use.
//
// A command that fails twice without ever having answered is one the UPS
// does not know (a "Q1" unit without "OI", say): it is not polled again
// until the next identification builds the tables afresh, and the link
// stays up, unless no polled command of group 1 is left. A command with a
// fixed reply (send kind 6) does not touch the line, so its failure never
// tells of the link: it is tried once and left out in the same way. Leaving
// a command out does not count as a failed exchange for the fixed reply
// after it, nor does the exchange that lost the link for those after the
// next identification.
//
// Threads: pollStep and executeQueuedCommand run on the poll task's thread
// only. pollingStopped is set by another thread (the stop or the shutdown
// sequence); the record is shared with other threads and processes and is
// written through record_access.h.
#pragma once

#include <array>
#include <atomic>
#include <bitset>
#include <cstdint>
#include <functional>
#include <string>

#include "service/link/candidate_probe.h"
#include "service/link/link_context.h"
#include "service/link/poll_cursor.h"
#include "service/link/protocol_tables.h"
#include "service/link/ups_commands.h"

namespace orvik {

class Clock;
class SerialLink;
struct StatusRecord;

inline constexpr unsigned kCommunicationLostBit = 19;
// Set while the UPS output is expected to be off after a switch-off delay;
// the UPS is not polled meanwhile.
inline constexpr unsigned kShutdownImminentBit = 22;
// Pause before a failed table command is tried the second time.
inline constexpr int kRetryPauseMs = 600;

struct QueuedCommand {
  uint32_t command = 0;
  int32_t argument = 0;
};

// Takes the oldest UPS command waiting for the poll task; false when there
// is none. Called on the poll task's thread.
using TakeQueuedCommand = std::function<bool(QueuedCommand* out)>;

class PollCycle {
 public:
  // identPath: "ident.ini" in the program's folder. takeQueuedCommand may be
  // empty (no command ever waits).
  PollCycle(SerialLink& link, Clock& clock, StatusRecord& record, std::string identPath,
            const std::atomic<int32_t>& pollingStopped, TakeQueuedCommand takeQueuedCommand);
  PollCycle(const PollCycle&) = delete;
  PollCycle& operator=(const PollCycle&) = delete;

  // One pass: probe one candidate while no protocol is identified; then run
  // one queued command if there is one, otherwise (unless polling has
  // stopped) one table command. Returns at once when a pass is already
  // running.
  void pollStep();

  // Command 4118 closes the UPS port and opens it again with the record's
  // upsport; every other command goes to the UPS command formats of the
  // current protocol family.
  void executeQueuedCommand(uint32_t command, int32_t argument);

  // On the poll task's thread only, like the step.
  bool linkIdentified() const { return linkIdentified_; }
  // The candidate while probing; the identified protocol afterwards.
  int protocolNumber() const { return protocolNumber_; }

 private:
  void probeNextCandidate();
  // One table command, tried a second time after a pause if it fails; false
  // when the link is to be declared lost.
  bool pollExchange();
  // One try of the command at the poll cursor; remembers that it answered.
  bool tryTableCommand(const CommandRecord& command);
  // Stops polling the command at the poll cursor until the next identification.
  void leaveOutCommand();
  void setCommunicationLost(bool lost);

  SerialLink& link_;
  Clock& clock_;
  StatusRecord& record_;
  const std::atomic<int32_t>& pollingStopped_;
  TakeQueuedCommand takeQueuedCommand_;
  Exchange upsExchange_;

  std::atomic<bool> stepBusy_{false};
  bool linkIdentified_ = false;
  int protocolNumber_ = 1;
  // Whole rounds over all candidates without an answer since the last
  // identification.
  int failedRounds_ = 0;
  bool lastCommandFailed_ = false;
  // Which commands of groups 1 to 3, by index from 0, have answered since
  // the protocol was identified.
  std::array<std::bitset<kMaxGroupCommands>, 3> answered_{};
  ProbeSettings settings_;
  PollCursor cursor_;
  ProtocolTables tables_;
  LinkContext ctx_;
};

}  // namespace orvik
