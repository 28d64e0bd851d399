// The service's control channel as one piece: the listener on the control
// port with the control handler, the ring of UPS commands for the poll task,
// and the process's datagram sender. The Service owns one.
//
// Threads: openListener, attachRecord and closeListeners run on the main
// window's thread; the handler runs on the receive thread; the poll task
// takes from upsCommandQueue(); any thread may use sender().
#pragma once

#include <functional>

#include "platform/platform.h"
#include "service/core/control_handler.h"
#include "service/core/control_listener.h"
#include "service/core/ups_command_queue.h"
#include "shared/control_datagram.h"
#include "shared/datagram_sender.h"

namespace orvik {

// The service's side of ControlActions. The hooks belong to subsystems that
// wire themselves in before the listener opens; an unset hook does nothing.
class ServiceControlActions final : public ControlActions {
 public:
  explicit ServiceControlActions(MessageLoop& messages) : messages_(messages) {}

  void saveSettings() override;
  void closeMainWindow() override;
  void scheduleOutletSwitchOff(int outlet) override;

  std::function<void()> saveSettingsHook;
  std::function<void(int outlet)> outletSwitchOffHook;

 private:
  MessageLoop& messages_;
};

class ControlChannel {
 public:
  explicit ControlChannel(Platform platform);

  // Opens the listener on 127.0.0.1:port; 0 or -1.
  int openListener(uint16_t port = kControlPort);
  void attachRecord(StatusRecord* record) { handler_.attachRecord(record); }
  // Closes the listener sockets (after their thread has ended) and the
  // sender socket.
  void closeListeners();

  ServiceControlActions& actions() { return actions_; }
  UpsCommandQueue& upsCommandQueue() { return queue_; }
  DatagramSender& sender() { return sender_; }
  ControlListener& listener() { return listener_; }
  ControlHandler& handler() { return handler_; }

 private:
  ServiceControlActions actions_;
  UpsCommandQueue queue_;
  ControlHandler handler_;
  DatagramSender sender_;
  ControlListener listener_;  // last: its thread uses the members above
};

}  // namespace orvik
