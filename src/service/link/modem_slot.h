// The paging modem's line as the page action sees it: the modem slot of the
// service's SerialLink. Reads are bounded to twice their silence limit,
// since the page action only drains the modem's answers.
//
// Threads: used by the page worker only; slot 1 is nobody else's, and none
// of these calls takes the UPS port's lock.
#pragma once

#include "service/actions/page_action.h"
#include "service/link/serial_link.h"

namespace orvik {

class ModemSlot final : public ModemLine {
 public:
  explicit ModemSlot(SerialLink& link) : link_(link) {}

  int openPort(int portIndex) override { return link_.openPort(kModemSlot, portIndex); }
  int writeBytes(const char* bytes, int count) override {
    return link_.writeBytes(kModemSlot, bytes, count, 0);
  }
  int readReply(char* buffer, int* count, int terminator, int maxLength, int timeoutMs) override {
    return link_.readReplyWithin(kModemSlot, buffer, count, terminator, maxLength, timeoutMs,
                                 2 * timeoutMs);
  }
  int closePort() override { return link_.closePort(kModemSlot); }

 private:
  SerialLink& link_;
};

}  // namespace orvik
