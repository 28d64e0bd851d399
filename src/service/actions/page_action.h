// The action of the page queue: calls each pager of the event's pageUsers
// list through the Hayes modem on the modem's own serial port. For every
// entry the port is opened, the modem reset, one dial line (entry +
// pageMessage, upper case) sent, the pager service given its time, the
// modem hung up and the port closed again. The modem's answers are read to
// keep its buffer drained and then dropped: nothing it says changes what
// happens, so a silent, busy or babbling modem costs the same fixed pauses.
//
// Threads: runs on the page worker's thread, the only user of the modem
// port; it never touches the UPS port or its lock, so the poll goes on
// undisturbed while a page runs.
#pragma once

#include "platform/clock.h"
#include "service/actions/action_queues.h"
#include "service/actions/action_workers.h"
#include "shared/status_record.h"

namespace orvik {

// The modem's serial line: the service's modem port slot (see
// service/link/modem_slot.h). Each call is the port slot's operation of the
// same name; 0 on success, -1 on failure.
class ModemLine {
 public:
  virtual ~ModemLine() = default;
  // Opens "COM<portIndex + 1>", including the port's settle wait.
  virtual int openPort(int portIndex) = 0;
  virtual int writeBytes(const char* bytes, int count) = 0;
  // Drains the modem's answer into buffer (maxLength + 1 bytes, NUL-
  // terminated): collecting ends on the terminator, at maxLength bytes or
  // after timeoutMs of silence, and the call lasts at least timeoutMs and
  // at most twice that.
  virtual int readReply(char* buffer, int* count, int terminator, int maxLength, int timeoutMs) = 0;
  virtual int closePort() = 0;
};

// Calls one pager: 1 when the call ran (whatever the modem said), also
// when the entry or the message is empty and nothing is sent; 0 when the
// port could not be opened.
int pageUser(ModemLine& modem, Clock& clock, int portIndex, const char* entry, const char* message);

class PageAction final : public QueueAction {
 public:
  // Everything outlives the action.
  PageAction(StatusRecord& record, Clock& clock, ModemLine& modem)
      : record_(record), clock_(clock), modem_(modem) {}

  // Calls the pagers of entry.pageUsers one after the other; a call that
  // fails does not stop the next.
  void runAction(EventAction& entry, const ActionItem& item) override;

 private:
  StatusRecord& record_;
  Clock& clock_;
  ModemLine& modem_;
};

}  // namespace orvik
