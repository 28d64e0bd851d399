#include "service/core/service.h"

#include "service/core/os_version.h"
#include "service/monitor/record_startup.h"
#include "shared/record_access.h"

namespace orvik {

// Steps that belong to subsystems still being built are marked "Not yet:"
// with what they do now.

Service::Service(Platform platform) : platform_(platform), serialLink_(platform) {}

Service::~Service() = default;

void Service::failStart(const std::string& text) {
  platform_.ui->messageBox(kServiceCaption, text.c_str());
}

int Service::serviceStart(const std::string& programFilePath) {
  // Time-zone data is loaded by the clock backend; no socket library needs starting here.
  programDirectory_ = programDirectoryOf(programFilePath);

  // Not yet: the message catalogue; start-up continues as if it had loaded.
  // Not yet: the control listener on UDP port 8828.
  // Not yet: the five action queues.

  if (setUpRecord() == 0) {
    failStart("The shared status record could not be set up.");
    return 0;
  }
  if (osVersionClass(*platform_.system) < kNtFamily) platform_.system->registerServiceProcess();

  // A port that cannot be opened shows up later as lost communication.
  serialLink_.openPort(kUpsSlot, loadField(record().upsport));
  // Not yet: UPS commands from the control channel; until the command ring
  // exists no command waits for the poll task.
  pollCycle_ = std::make_unique<PollCycle>(serialLink_, *platform_.clock, record(),
                                           programDirectory_ + "ident.ini", pollingStopped,
                                           TakeQueuedCommand{});
  initialiseTasks();
  return 1;
}

int Service::setUpRecord() {
  mapping_ = RecordMapping::createOrOpen(*platform_.sharedMemory);
  if (!mapping_) return 0;
  applyStartupValues(record(), gatherRecordFacts(platform_));
  // Not yet: default event actions, file paths and the saved settings.
  return 1;
}

void Service::initialiseTasks() {
  initialiseTask(tasks_[kPollTask], [this] { pollCycle_->pollStep(); }, 100);
  // Not yet: event detection; the monitor task runs empty passes until it arrives.
  initialiseTask(tasks_[kMonitorTask], [] {}, 100);
  // Not yet: the action queues; until they exist the workers have nothing to
  // serve and stay in their idle pause.
  for (int id = kBroadcastWorker; id <= kShutdownWorker; ++id) {
    initialiseTask(tasks_[id], [] {}, 100, [] { return 1; });
    tasks_[id].idleWaitMs = kIdleWaitMs;
  }
}

void Service::startTasks() { tasks_.start(*platform_.clock); }

void Service::serviceStop() {
  if (!mapping_) return;
  setFlagBit(record().alarmFlags, kServiceRunningBit, false);
  // Not yet: event 124 "Service stopped" is raised here once events exist.
  pollingStopped = 1;
  tasks_.stopAll(*platform_.clock);
  // The protocol tables are values inside the poll cycle and need no freeing.
  serialLink_.closePort(kUpsSlot);
  // Not yet: free the catalogue, close the sockets.
  platform_.sharedMemory->removeName(kRecordName);
}

}  // namespace orvik
