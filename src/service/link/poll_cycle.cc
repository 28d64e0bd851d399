#include "service/link/poll_cycle.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "platform/clock.h"
#include "service/link/self_test_timeout.h"
#include "service/link/serial_link.h"
#include "service/link/table_exchange.h"
#include "shared/record_access.h"
#include "shared/status_record.h"

namespace orvik {
namespace {

// Rounds without an answer that the first search tolerates before it
// reports the link lost.
constexpr int kQuietRounds = 2;

bool hasPolledCommand(const CommandGroup& group) {
  for (int i = 1; const CommandRecord* command = group.command(i); ++i) {
    if (command->pollEnabled != 0) return true;
  }
  return false;
}

}  // namespace

PollCycle::PollCycle(SerialLink& link, Clock& clock, StatusRecord& record, std::string identPath,
                     const std::atomic<int32_t>& pollingStopped,
                     TakeQueuedCommand takeQueuedCommand)
    : link_(link),
      clock_(clock),
      record_(record),
      pollingStopped_(pollingStopped),
      takeQueuedCommand_(std::move(takeQueuedCommand)) {
  ctx_.record = &record;
  ctx_.clock = &clock;
  ctx_.identPath = std::move(identPath);
  // The serial layer wants room for its terminating NUL; command replies
  // are read into a buffer of exactly their maximum length.
  upsExchange_ = [this](const uint8_t* bytes, int count, int byteDelayMs, int settleMs, char* reply,
                        int* replyCount, int terminator, int maxLength, int timeoutMs) {
    std::string buffer(std::max(maxLength, 0) + 1, '\0');
    const int result =
        link_.serialTransaction(reinterpret_cast<const char*>(bytes), count, byteDelayMs, settleMs,
                                buffer.data(), replyCount, terminator, maxLength, timeoutMs);
    *replyCount = std::clamp(*replyCount, 0, std::max(maxLength, 0));
    std::memcpy(reply, buffer.data(), *replyCount);
    return result;
  };
}

void PollCycle::pollStep() {
  if (stepBusy_.exchange(true)) return;
  if (!linkIdentified_) probeNextCandidate();

  QueuedCommand queued;
  if (takeQueuedCommand_ && takeQueuedCommand_(&queued)) {
    executeQueuedCommand(queued.command, queued.argument);
    // Read back the settings the command may have changed.
    if (tables_.group(3).count >= 1) cursor_.enableGroup(3);
  } else if (pollingStopped_.load() == 0 && linkIdentified_ && !pollExchange()) {
    for (int group = 1; group <= 3; ++group) cursor_.enableGroup(group);
    linkIdentified_ = false;
    storeField(record_.protocolInUse, 0);
    setCommunicationLost(true);
  }
  endUnreportedTest(ctx_, tables_);
  stepBusy_ = false;
}

void PollCycle::probeNextCandidate() {
  prepareCandidate(protocolNumber_, settings_, ctx_.protocolFamily);
  if (protocolNumber_ == 0) {
    // A round over all candidates is over; this step sends nothing.
    if (failedRounds_++ >= kQuietRounds) setCommunicationLost(true);
    protocolNumber_ = 1;
    return;
  }
  if (!probeCandidate(link_, settings_, protocolNumber_, ctx_.protocolVariant)) {
    ++protocolNumber_;
    return;
  }
  linkIdentified_ = true;
  storeField(record_.protocolInUse, protocolNumber_);
  failedRounds_ = 0;
  setCommunicationLost(false);
  buildProtocolTables(protocolNumber_, tables_, ctx_.protocolFamily, ctx_.protocolVariant,
                      &record_);
  answered_ = {};
  lastCommandFailed_ = false;
}

bool PollCycle::pollExchange() {
  if (!linkIdentified_ || (loadField(record_.alarmFlags) >> kShutdownImminentBit) & 1) {
    return false;
  }
  const CommandRecord* command = cursor_.nextTableCommand(tables_);
  if (command == nullptr) return false;
  if (tryTableCommand(*command)) return true;
  if (command->sendKind != SendKind::noExchange) {
    clock_.sleepMs(kRetryPauseMs);
    if (tryTableCommand(*command)) return true;
    // It answered before: the UPS has stopped talking.
    if (answered_[cursor_.group() - 1][cursor_.index() - 1]) return false;
  }
  leaveOutCommand();
  return hasPolledCommand(tables_.group(1));
}

bool PollCycle::tryTableCommand(const CommandRecord& command) {
  if (executeTableCommand(link_, settings_, ctx_, lastCommandFailed_, command) != 0) return false;
  answered_[cursor_.group() - 1][cursor_.index() - 1] = true;
  return true;
}

void PollCycle::leaveOutCommand() {
  tables_.groups[cursor_.group() - 1].commands[cursor_.index() - 1].pollEnabled = 0;
  // The UPS only lacks the command; a fixed reply after it still stands.
  lastCommandFailed_ = false;
}

void PollCycle::executeQueuedCommand(uint32_t command, int32_t argument) {
  if (command == kCommandReopenPort) {
    link_.closePort(kUpsSlot);
    // The port opens at its default speed; the protocol in use may need
    // another, and would otherwise look lost until it is probed again.
    if (link_.openPort(kUpsSlot, loadField(record_.upsport)) == 0) {
      link_.setPortSpeed(kUpsSlot, settings_.speed);
    }
    return;
  }
  executeUpsCommand(ctx_, tables_, upsExchange_, command, argument);
}

void PollCycle::setCommunicationLost(bool lost) {
  setFlagBit(record_.alarmFlags, kCommunicationLostBit, lost);
}

}  // namespace orvik
