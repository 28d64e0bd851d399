// The steps of the five action workers: each cycle a worker takes at most
// one due item off its queue and carries out the queue's action with the
// event's settings. The execute worker also carries out the two outlet
// switch-off steps, which go out as datagrams.
//
// Threads: workerStep(q) runs on worker q's task thread only; the five
// workers run at the same time and share only the datagram sender.
#pragma once

#include <array>

#include "service/actions/action_queues.h"
#include "shared/datagram_sender.h"
#include "shared/status_record.h"

namespace orvik {

// Receivers of notices on other computers listen here.
inline constexpr uint16_t kNotifyPort = 8830;
// Commands sent to kNotifyPort.
inline constexpr uint32_t kNoticeCommand = 35104;
inline constexpr uint32_t kRemoteShutdownCommand = 35136;
// outletCommand's argument for "switch outlet i off now" is this | i.
inline constexpr int32_t kOutletSwitchOffNow = 0x20000;

// What one queue does with a due item: called on the queue's worker thread
// with the event's settings as they stand now.
class QueueAction {
 public:
  virtual ~QueueAction() = default;
  virtual void runAction(EventAction& entry, const ActionItem& item) = 0;
};

// The actions of the mail, page, execute and shutdown queues are not built
// yet: their items are taken and dropped, so the queues still drain. Each
// queue gets its own instance, to be replaced by the real action.
class NotYetBuiltAction final : public QueueAction {
 public:
  void runAction(EventAction&, const ActionItem&) override {}
};

class ActionWorkers {
 public:
  // actions[q] is queue q's action. Everything outlives the workers.
  ActionWorkers(ActionQueues& queues, StatusRecord& record, DatagramSender& sender,
                std::array<QueueAction*, ActionQueues::kCount> actions);

  // One cycle of queue's worker: an outlet step (execute worker only) or
  // one action, or nothing when nothing is due.
  void workerStep(int queue);

 private:
  void runOutletStep(int32_t step);
  void notifyDependentHosts(int outlet);

  ActionQueues& queues_;
  StatusRecord& record_;
  DatagramSender& sender_;
  std::array<QueueAction*, ActionQueues::kCount> actions_;
};

}  // namespace orvik
