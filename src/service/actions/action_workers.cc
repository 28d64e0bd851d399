#include "service/actions/action_workers.h"

#include "service/actions/text.h"
#include "shared/control_datagram.h"
#include "shared/record_access.h"

namespace orvik {

ActionWorkers::ActionWorkers(ActionQueues& queues, StatusRecord& record, DatagramSender& sender,
                             std::array<QueueAction*, ActionQueues::kCount> actions)
    : queues_(queues), record_(record), sender_(sender), actions_(actions) {}

void ActionWorkers::workerStep(int queue) {
  if (queue < 0 || queue >= ActionQueues::kCount) return;
  DueAction due;
  if (queue == ActionQueues::kExecute) {
    const ActionQueues::Taken taken = queues_.takeDueExecuteItem(&due);
    if (taken == ActionQueues::Taken::kOutletStep) runOutletStep(due.item.eventNumber);
    if (taken != ActionQueues::Taken::kAction) return;
  } else if (!queues_.takeDueAction(queue, &due)) {
    return;
  }
  std::atomic<int32_t>& inAction = queues_.inAction(queue);
  inAction = 1;
  actions_[queue]->runAction(*due.entry, due.item);
  inAction = 0;
}

void ActionWorkers::runOutletStep(int32_t step) {
  if (step >= kOutletNoticeStep && step < kOutletNoticeStep + kOutletCount) {
    notifyDependentHosts(step - kOutletNoticeStep);
  } else if (step >= kOutletSwitchStep && step < kOutletSwitchStep + kOutletCount) {
    sender_.sendDatagram("127.0.0.1", kControlPort, outletCommand,
                         kOutletSwitchOffNow | (step - kOutletSwitchStep), nullptr);
  }
}

void ActionWorkers::notifyDependentHosts(int outlet) {
  Text hosts(readText(record_.outlets[outlet].outletShutdownDepend));
  terminateList(hosts);
  Text host;
  while (takeToken(hosts, host, ';') == 0) {
    // An empty entry names nobody; resolving "" would not fail everywhere.
    if (host.length() == 0) continue;
    sender_.sendDatagram(host.chars(), kNotifyPort, kRemoteShutdownCommand, 0, nullptr);
  }
}

}  // namespace orvik
