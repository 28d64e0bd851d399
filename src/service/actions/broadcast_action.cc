#include "service/actions/broadcast_action.h"

#include <algorithm>
#include <string>

#include "service/actions/event_notice.h"
#include "shared/ignoring_case.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

constexpr int kPowerFailureEvent = 1;

// A host that only gets the datagram: messenger notices go to computer names.
bool isAddressOrLocalhost(const char* host) {
  uint32_t address = 0;
  return equalsIgnoringCase(host, "localhost") || parseDottedIpv4(host, &address);
}

}  // namespace

BroadcastAction::BroadcastAction(StatusRecord& record, Clock& clock,
                                 const MessageCatalogue& catalogue, DatagramSender& sender,
                                 MessengerNotices& messenger, ActionQueues& queues)
    : record_(record),
      clock_(clock),
      catalogue_(catalogue),
      sender_(sender),
      messenger_(messenger),
      queues_(queues) {}

void BroadcastAction::runAction(EventAction& entry, const ActionItem& item) {
  const int event = item.eventNumber;
  const int period = loadField(entry.bnmPeriod);
  // Queued before anything is sent, so a failed send does not end the rhythm.
  if (period > 0) {
    queues_.enqueueAction(ActionQueues::kBroadcast, entry, event,
                          item.dueMs + int64_t{period} * 1000);
  }

  const std::string computerName = readText(record_.computerName);
  int argument = event;
  int down = 0;
  Text message;
  if (event == kPowerFailureEvent &&
      loadField(record_.eventActionsEven[kPowerFailureEvent].shutEnable) == 0) {
    // No shutdown follows: the notice says how often it will be repeated.
    argument = kNoShutdownPowerFailMessage;
    down = period;
    message =
        catalogue_.expandCatalogueMessage(kNoShutdownPowerFailMessage, computerName.c_str(), down);
  } else {
    down = std::max(0, static_cast<int>(loadField(record_.powerFailCountdown)));
    message = expandMessage(readText(entry.bnmMessage).c_str(), computerName.c_str(), down);
  }

  NoticeFields fields;
  const std::string hostName = readText(record_.hostName);
  fields.hostName = hostName.c_str();
  fields.computerName = computerName.c_str();
  if (!clock_.toLocalTime(clock_.calendarSeconds(), &fields.occurred)) fields.occurred = {};
  fields.down = down;
  fields.languageCode = catalogue_.languageCode();
  fields.description = message.chars();
  const Text notice = eventNotice(fields);

  Text targets(readText(entry.bnmUsers));
  if (equalsIgnoringCase(targets.chars(), "broadcast")) {
    messenger_.sendMessengerNotice("*", message.chars());
    sender_.broadcastDatagram(kNotifyPort, kNoticeCommand, argument, notice.chars());
    return;
  }
  terminateList(targets);
  Text host;
  while (takeToken(targets, host, ';') == 0) {
    if (host.length() == 0) continue;  // "a;;b" and blank entries name nobody
    sender_.sendDatagram(host.chars(), kNotifyPort, kNoticeCommand, argument, notice.chars());
    if (!isAddressOrLocalhost(host.chars())) {
      messenger_.sendMessengerNotice(host.chars(), message.chars());
    }
  }
}

}  // namespace orvik
