#include "service/core/service.h"

#include "service/core/os_version.h"
#include "service/monitor/record_startup.h"
#include "shared/record_access.h"

namespace orvik {

// Steps that belong to subsystems still being built are marked "Not yet:"
// with what they do now.

Service::Service(Platform platform) : platform_(platform), control_(platform) {}

Service::~Service() = default;

void Service::failStart(const std::string& text) {
  platform_.ui->messageBox(kServiceCaption, text.c_str());
}

int Service::serviceStart(const std::string& programFilePath) {
  // Time-zone data is loaded by the clock backend; no socket library needs starting here.
  programDirectory_ = programDirectoryOf(programFilePath);

  // Not yet: the message catalogue; start-up continues as if it had loaded.
  if (control_.openListener() != 0) {
    // Not yet: the text of catalogue message 304.
    failStart("The control port could not be opened; is the service running already?");
    return 0;
  }
  // Not yet: the five action queues.

  if (setUpRecord() == 0) {
    failStart("The shared status record could not be set up.");
    return 0;
  }
  control_.attachRecord(&record());
  if (osVersionClass(*platform_.system) < kNtFamily) platform_.system->registerServiceProcess();

  // Not yet: the UPS serial port.
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
  // Not yet: the steps of the poll cycle and event detection; these two
  // tasks run empty passes until those arrive.
  initialiseTask(tasks_[kPollTask], [] {}, 100);
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
  // Not yet: free the catalogue and close the serial port.
  control_.closeListeners();
  // Not yet: free the protocol tables.
  platform_.sharedMemory->removeName(kRecordName);
}

}  // namespace orvik
