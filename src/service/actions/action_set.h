// The service's action machinery in one piece: the five queues, the action
// of each queue and the five workers' steps. The service owns one, built
// once the status record exists, and hands raised events to queues().
//
// Threads: as ActionQueues and ActionWorkers say.
#pragma once

#include "platform/clock.h"
#include "platform/power_control.h"
#include "platform/processes.h"
#include "service/actions/action_queues.h"
#include "service/actions/action_workers.h"
#include "service/actions/broadcast_action.h"
#include "service/actions/execute_action.h"
#include "service/actions/mail_action.h"
#include "service/actions/message_catalogue.h"
#include "service/actions/messenger.h"
#include "service/actions/page_action.h"
#include "service/actions/shutdown_sequence.h"
#include "shared/datagram_sender.h"
#include "shared/status_record.h"

namespace orvik {

class ActionSet {
 public:
  // Everything passed in outlives the set. modem is the paging modem's line.
  ActionSet(StatusRecord& record, Clock& clock, const MessageCatalogue& catalogue,
            DatagramSender& sender, Messenger& messenger, SystemInfo& system, const MailSetup& mail,
            ModemLine& modem, ProcessStarter& processes, PowerControl& power,
            ShutdownHooks& shutdownHooks, const std::string& programDirectory)
      : queues_(record, clock),
        messenger_(messenger, system),
        broadcast_(record, clock, catalogue, sender, messenger_, queues_),
        mailAction_(record, system, mail),
        pageAction_(record, clock, modem),
        executeAction_(record, clock, processes),
        shutdownAction_(record, clock, sender, processes, power, shutdownHooks,
                        programDirectory),
        workers_(queues_, record, sender,
                 {&broadcast_, &mailAction_, &pageAction_, &executeAction_, &shutdownAction_}) {}

  ActionQueues& queues() { return queues_; }
  ActionWorkers& workers() { return workers_; }

 private:
  ActionQueues queues_;
  PlatformMessengerNotices messenger_;
  BroadcastAction broadcast_;
  MailAction mailAction_;
  PageAction pageAction_;
  ExecuteAction executeAction_;
  ShutdownSequence shutdownAction_;
  ActionWorkers workers_;
};

}  // namespace orvik
