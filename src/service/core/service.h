// The monitoring service as one object: start-up in a fixed order, the seven
// periodic tasks, and the orderly stop. The main window's thread owns it:
// serviceStart, startTasks and serviceStop run there.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "service/actions/action_set.h"
#include "service/core/control_channel.h"
#include "service/core/task_set.h"
#include "service/link/modem_slot.h"
#include "service/link/poll_cycle.h"
#include "service/link/serial_link.h"
#include "service/monitor/event_log.h"
#include "service/monitor/event_monitor.h"
#include "service/monitor/record_startup.h"
#include "service/monitor/scheduler.h"
#include "service/monitor/settings_file.h"
#include "shared/record_mapping.h"

namespace orvik {

inline constexpr char kServiceCaption[] = "Power Device Service";

class Service {
 public:
  explicit Service(Platform platform);
  ~Service();

  // Prepares every resource and the seven tasks; 1 on success. On failure a
  // message box has told why and the caller ends the process with code 1.
  int serviceStart(const std::string& programFilePath);
  // One thread per task, in table order.
  void startTasks();
  // Raises "service stopped", stops polling, lets the tasks drain for at most
  // 30 s and releases the resources. The record stays mapped; its name is
  // removed, so the pages see no service, as when the last handle closes.
  // False when a task's thread was still running after the wait: it may
  // still use the service's objects, so the process must end without
  // destroying them.
  bool serviceStop();

  StatusRecord& record() { return mapping_->record(); }
  const std::string& programDirectory() const { return programDirectory_; }
  TaskSet& tasks() { return tasks_; }
  ControlChannel& control() { return control_; }
  // Valid once serviceStart has succeeded.
  SettingsFile& settings() { return *settings_; }
  EventMonitor& monitor() { return *monitor_; }
  // The service's files, fixed at start-up; valid once serviceStart has
  // set up the record.
  const StartupFiles& startupFiles() const { return startupFiles_; }
  // Read by the poll task: set once the service stops or shuts down.
  std::atomic<int32_t> pollingStopped{0};

 private:
  void failStart(const std::string& text);
  int setUpRecord();
  void initialiseTasks();

  // Hands raised events to the action queues.
  class QueuedEvents final : public EventSink {
   public:
    explicit QueuedEvents(ActionQueues& queues) : queues_(queues) {}
    void enqueueAction(ActionQueueId queue, EventAction& entry, int eventNumber,
                       int64_t dueMs) override {
      queues_.enqueueAction(queue, entry, eventNumber, dueMs);
    }

   private:
    ActionQueues& queues_;
  };

  // What the shutdown sequence needs of the service; used once the service
  // has started.
  class ServiceShutdownHooks final : public ShutdownHooks {
   public:
    explicit ServiceShutdownHooks(Service& service) : service_(service) {}
    void stopPolling() override { service_.pollingStopped = 1; }
    void raiseEvent(int kind, int bit) override {
      service_.monitor_->raiseEvent(static_cast<EventKind>(kind), bit);
    }
    bool isTaskIdle(int task) override { return orvik::isTaskIdle(service_.tasks_[task]); }
    int64_t nextPowerOnTime(int64_t now) override {
      return service_.scheduler_->nextPowerOnTime(now);
    }

   private:
    Service& service_;
  };

  Platform platform_;
  ServiceShutdownHooks shutdownHooks_{*this};
  std::string programDirectory_ = ".\\";
  std::unique_ptr<RecordMapping> mapping_;
  SerialLink serialLink_;
  ModemSlot modemSlot_{serialLink_};  // the page action's line
  std::unique_ptr<PollCycle> pollCycle_;
  std::unique_ptr<SettingsFile> settings_;
  std::unique_ptr<EventLog> eventLog_;
  std::unique_ptr<ActionSet> actions_;
  std::unique_ptr<QueuedEvents> queuedEvents_;
  std::unique_ptr<Scheduler> scheduler_;
  std::unique_ptr<EventMonitor> monitor_;
  StartupFiles startupFiles_;
  TaskSet tasks_;
  std::atomic<SettingsFile*> settingsForControl_{nullptr};
  std::atomic<ActionQueues*> queuesForControl_{nullptr};
  ControlChannel control_;  // after the record: its thread may reset it
};

}  // namespace orvik
