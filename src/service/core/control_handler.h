// What the service does with each command that arrives on the control port.
// UPS commands go into the ring for the poll task; the rest save the
// settings, reset the communication state or close the main window through
// ControlActions, so the owners of that work stay where they are.
//
// Threads: handle() runs on the control listener's receive thread, at the
// same time as every other thread of the service.
#pragma once

#include <atomic>
#include <cstdint>

#include "service/core/ups_command_queue.h"
#include "shared/status_record.h"

namespace orvik {

// The work of other subsystems that control commands start. Called on the
// receive thread; each call must return promptly.
class ControlActions {
 public:
  virtual ~ControlActions() = default;
  // Writes the settings file from the record.
  virtual void saveSettings() = 0;
  // Asks the main window to close, which stops the service.
  virtual void closeMainWindow() = 0;
  // Notifies the outlet's dependent hosts now and, after the outlet's delay,
  // switches it off with a later outletCommand (high bits 2).
  virtual void scheduleOutletSwitchOff(int outlet) = 0;
};

class ControlHandler {
 public:
  ControlHandler(UpsCommandQueue& queue, ControlActions& actions);

  // The record that the port-change command resets; until it is attached
  // that command still queues the port reopen and saves.
  void attachRecord(StatusRecord* record);

  // One command. The text is accepted but no command uses it; unknown
  // commands are ignored.
  void handle(uint32_t command, int32_t argument, const char* text);

  // UPS commands a full ring refused since start.
  int refusedCommands() const { return refused_.load(); }

 private:
  void queue(uint32_t command, int32_t argument);
  void handleOutlet(int32_t argument);
  void portsChanged(int32_t argument);

  UpsCommandQueue& queue_;
  ControlActions& actions_;
  std::atomic<StatusRecord*> record_{nullptr};
  std::atomic<int> refused_{0};
};

}  // namespace orvik
