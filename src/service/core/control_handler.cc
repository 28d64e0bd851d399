#include "service/core/control_handler.h"

#include "service/core/communication_reset.h"
#include "shared/control_datagram.h"

namespace orvik {
namespace {

bool isQueuedUpsCommand(uint32_t command) {
  return command == kSelfTestCommand || (command >= 385 && command <= 389) ||
         (command >= 401 && command <= 404) || (command >= 407 && command <= 410) ||
         command == kUpsSettingsCommand;
}

// outletCommand's argument: the high 16 bits say what to do, the low 16 bits
// (signed) name the outlet.
enum OutletAction : uint32_t { kTimedSwitchOff = 0, kSwitchOn = 1, kSwitchOffNow = 2 };

}  // namespace

ControlHandler::ControlHandler(UpsCommandQueue& queue, ControlActions& actions)
    : queue_(queue), actions_(actions) {}

void ControlHandler::attachRecord(StatusRecord* record) { record_ = record; }

void ControlHandler::handle(uint32_t command, int32_t argument, const char* /*text*/) {
  if (isQueuedUpsCommand(command)) {
    queue(command, argument);
  } else if (command == kSaveSettingsCommand || command == kSaveSettingsAgainCommand) {
    actions_.saveSettings();
  } else if (command == kPortsChangedCommand) {
    portsChanged(argument);
  } else if (command == kStopServiceCommand) {
    actions_.closeMainWindow();
  } else if (command == outletCommand) {
    handleOutlet(argument);
  }
}

void ControlHandler::queue(uint32_t command, int32_t argument) {
  if (queue_.queueUpsCommand(command, argument) != 0) ++refused_;
}

void ControlHandler::handleOutlet(int32_t argument) {
  const uint32_t action = static_cast<uint32_t>(argument) >> 16;
  const int outlet = static_cast<int16_t>(static_cast<uint32_t>(argument) & 0xFFFF);
  if (action == kTimedSwitchOff) {
    actions_.scheduleOutletSwitchOff(outlet);
  } else if (action == kSwitchOn) {
    queue(outletCommand, argument);
  } else if (action == kSwitchOffNow) {
    queue(outletCommand, outlet);
  }
}

// The poll task reopens the port when it takes the pair; what the old link
// reported is wiped now, so the pages do not show the previous UPS.
void ControlHandler::portsChanged(int32_t argument) {
  queue(kPortsChangedCommand, argument);
  if (StatusRecord* record = record_.load()) resetCommunicationState(*record);
  actions_.saveSettings();
}

}  // namespace orvik
