// The action of the broadcast queue: an event notice datagram to every host
// of the event's bnmUsers list, or to the whole subnet when the list is
// "broadcast", with messenger notices beside it; and, when the event's
// bnmPeriod is above 0, the next broadcast queued a period after this one
// was due, so the repetition keeps its rhythm however late the worker is.
//
// Threads: runs on the broadcast worker's thread. The event's settings are
// read once each, since the pages may change them meanwhile.
#pragma once

#include "platform/clock.h"
#include "service/actions/action_queues.h"
#include "service/actions/action_workers.h"
#include "service/actions/message_catalogue.h"
#include "service/actions/messenger_notices.h"
#include "shared/datagram_sender.h"
#include "shared/status_record.h"

namespace orvik {

class BroadcastAction final : public QueueAction {
 public:
  // Everything outlives the action.
  BroadcastAction(StatusRecord& record, Clock& clock, const MessageCatalogue& catalogue,
                  DatagramSender& sender, MessengerNotices& messenger, ActionQueues& queues);

  void runAction(EventAction& entry, const ActionItem& item) override;

 private:
  StatusRecord& record_;
  Clock& clock_;
  const MessageCatalogue& catalogue_;
  DatagramSender& sender_;
  MessengerNotices& messenger_;
  ActionQueues& queues_;
};

}  // namespace orvik
