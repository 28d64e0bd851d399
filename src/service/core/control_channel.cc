#include "service/core/control_channel.h"

namespace orvik {

void ServiceControlActions::saveSettings() {
  if (saveSettingsHook) saveSettingsHook();
}

// The main window's close message runs the orderly stop, as from the tray.
void ServiceControlActions::closeMainWindow() { messages_.post(WindowMessage::kClose); }

void ServiceControlActions::scheduleOutletSwitchOff(int outlet) {
  if (outletSwitchOffHook) outletSwitchOffHook(outlet);
}

ControlChannel::ControlChannel(Platform platform)
    : actions_(*platform.messages),
      handler_(queue_, actions_),
      sender_(*platform.sockets),
      listener_(*platform.sockets, *platform.clock) {}

int ControlChannel::openListener(uint16_t port) {
  return listener_.openListener(port, [this](uint32_t command, int32_t argument, const char* text) {
    handler_.handle(command, argument, text);
  });
}

void ControlChannel::closeListeners() {
  listener_.closeListeners();
  sender_.closeSocket();
}

}  // namespace orvik
