#include "service/core/service.h"

#include "service/actions/message_catalogue.h"
#include "service/core/os_version.h"
#include "shared/record_access.h"

namespace orvik {

// The monitor names the queues by its own enumeration; both use one order.
static_assert(int{kBroadcastQueue} == ActionQueues::kBroadcast &&
              int{kMailQueue} == ActionQueues::kMail && int{kPageQueue} == ActionQueues::kPage &&
              int{kExecuteQueue} == ActionQueues::kExecute &&
              int{kShutdownQueue} == ActionQueues::kShutdown &&
              kActionQueueCount == ActionQueues::kCount);
static_assert(kShutdownWorker - kBroadcastWorker + 1 == ActionQueues::kCount);
// The shutdown sequence asks the tasks before its own worker by number.
static_assert(kPollTask == 0 && kShutdownWorker == kOtherTaskCount);

// Steps that belong to subsystems still being built are marked "Not yet:"
// with what they do now.

Service::Service(Platform platform)
    : platform_(platform), serialLink_(platform), control_(platform) {
  // Datagrams may arrive before the settings file exists; they save nothing then.
  control_.actions().saveSettingsHook = [this] {
    if (SettingsFile* settings = settingsForControl_.load()) settings->saveSettings();
  };
  control_.actions().outletSwitchOffHook = [this](int outlet) {
    if (ActionQueues* queues = queuesForControl_.load()) queues->scheduleOutletSwitchOff(outlet);
  };
}

Service::~Service() { clearAlarmWakeup(&tasks_[kMonitorTask].wakeup); }

void Service::failStart(const std::string& text) {
  platform_.ui->messageBox(kServiceCaption, text.c_str());
}

int Service::serviceStart(const std::string& programFilePath) {
  // Time-zone data is loaded by the clock backend; no socket library needs starting here.
  programDirectory_ = programDirectoryOf(programFilePath);

  if (loadCatalogue(programDirectory_.c_str()) == 0) {
    failStart("Error finding message file.");
    return 0;
  }
  if (control_.openListener() != 0) {
    failStart(catalogueText(304).chars());
    return 0;
  }
  // The action queues start empty with the record, set up next.

  if (setUpRecord() == 0) {
    failStart(catalogueText(302).chars());
    return 0;
  }
  settingsForControl_ = settings_.get();
  queuesForControl_ = &actions_->queues();
  control_.attachRecord(&record());
  if (osVersionClass(*platform_.system) < kNtFamily) platform_.system->registerServiceProcess();

  // A port that cannot be opened shows up later as lost communication.
  serialLink_.openPort(kUpsSlot, loadField(record().upsport));
  // Every UPS command reaches the poll task through the control channel's ring.
  UpsCommandQueue& queue = control_.upsCommandQueue();
  pollCycle_ = std::make_unique<PollCycle>(
      serialLink_, *platform_.clock, record(), startupFiles_.identIniPath, pollingStopped,
      [&queue](QueuedCommand* out) {
        UpsCommand command;
        if (!queue.takeUpsCommand(&command)) return false;
        *out = {command.command, command.argument};
        return true;
      });
  initialiseTasks();
  return 1;
}

int Service::setUpRecord() {
  mapping_ = RecordMapping::createOrOpen(*platform_.sharedMemory);
  // Held until the process ends: the pages take a record nobody holds for
  // one a killed service left behind, not for live values.
  if (!mapping_ || !mapping_->holdOwnerLock()) return 0;
  startupFiles_ = startupFilesIn(programDirectory_);
  settings_ = std::make_unique<SettingsFile>(record(), platform_, startupFiles_.configPath);
  initialiseRecord(record(), platform_, processCatalogue(), startupFiles_, *settings_);
  eventLog_ =
      std::make_unique<EventLog>(record(), *platform_.clock, *platform_.files, startupFiles_.logs);
  const MailSetup mail{platform_.sockets, platform_.mapi, startupFiles_.logs.dataLog,
                       osVersionClass(*platform_.system)};
  actions_ = std::make_unique<ActionSet>(
      record(), *platform_.clock, processCatalogue(), control_.sender(), *platform_.messenger,
      *platform_.system, mail, modemSlot_, *platform_.processes, *platform_.power, shutdownHooks_,
      programDirectory_);
  // A worker in its idle pause runs its next pass as soon as it gets an item.
  actions_->queues().setWakeHandler(
      [this](int queue) { wakeTask(tasks_[kBroadcastWorker + queue]); });
  queuedEvents_ = std::make_unique<QueuedEvents>(actions_->queues());
  // Scheduled UPS commands go out through the control channel like the pages' own.
  scheduler_ = std::make_unique<Scheduler>(record(), *platform_.clock, control_.sender());
  monitor_ = std::make_unique<EventMonitor>(
      record(), *platform_.clock, *eventLog_, processCatalogue(), *queuedEvents_,
      [this](int64_t last, int64_t now) { scheduler_->runDueEntries(last, now); });
  return 1;
}

void Service::initialiseTasks() {
  initialiseTask(tasks_[kPollTask], [this] { pollCycle_->pollStep(); }, 100);
  // Every write that changes alarmFlags, on whichever thread, wakes the
  // monitor at once (the decoder mid-exchange, the port-change reset), so
  // between changes it only needs to wake for its once-a-second bookkeeping
  // instead of ten times a second.
  initialiseTask(tasks_[kMonitorTask], [this] { monitor_->monitorStep(); }, 100, [] { return 1; });
  tasks_[kMonitorTask].idleWaitMs = kMonitorIdleWaitMs;
  setAlarmWakeup(&tasks_[kMonitorTask].wakeup);
  // An idle worker pauses until an enqueue wakes it.
  for (int id = kBroadcastWorker; id <= kShutdownWorker; ++id) {
    const int queue = id - kBroadcastWorker;
    initialiseTask(
        tasks_[id], [this, queue] { actions_->workers().workerStep(queue); }, 100,
        [this, queue] { return actions_->queues().queueIdle(queue) ? 1 : 0; });
    tasks_[id].idleWaitMs = kIdleWaitMs;
  }
}

void Service::startTasks() { tasks_.start(*platform_.clock); }

bool Service::serviceStop() {
  if (!mapping_) return true;
  setFlagBit(record().alarmFlags, kServiceRunningBit, false);
  monitor_->raiseEvent(kRecovery, kServiceRunningBit);
  pollingStopped = 1;
  // A task still running after the wait may yet read the catalogue; the
  // process ends right after, without freeing anything.
  const bool tasksEnded = tasks_.stopAll(*platform_.clock);
  if (tasksEnded) freeCatalogue();
  serialLink_.closePort(kUpsSlot);
  // A page still running finds the modem port gone: nothing more reaches the modem.
  serialLink_.closePort(kModemSlot);
  // The name goes while the control port is still ours: a new instance can
  // start only once the port is free, and must then create a fresh record
  // instead of opening this one.
  platform_.sharedMemory->removeName(kRecordName);
  control_.closeListeners();
  // The protocol tables are values inside the poll cycle and need no freeing.
  return tasksEnded;
}

}  // namespace orvik
