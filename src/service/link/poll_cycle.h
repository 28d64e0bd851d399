// The poll cycle: the one step the poll task runs every 100 ms. While no
// protocol is known, a step tries one candidate protocol; once one is
// identified, a step runs one queued UPS command or sends the next command
// of the protocol's tables and decodes the reply into the shared status
// record. The cycle owns the link state, the poll cursor, the tables of the
// identified protocol and the decoder's context, and it sets and clears the
// communication-lost bit of alarmFlags.
//
// Communication is declared lost after three whole probe rounds without an
// answer while searching, or at once when a table command fails twice (a
// second try 600 ms after the first). After a loss the search starts again
// at the protocol that was in use.
//
// Threads: pollStep and executeQueuedCommand run on the poll task's thread
// only. pollingStopped is set by another thread (the stop or the shutdown
// sequence); the record is shared with other threads and processes and is
// written through record_access.h.
#pragma once

#include <atomic>
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
  ProbeSettings settings_;
  PollCursor cursor_;
  ProtocolTables tables_;
  LinkContext ctx_;
};

}  // namespace orvik
