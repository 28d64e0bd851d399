#include "service/core/control_listener.h"

#include "shared/control_datagram.h"

namespace orvik {

ControlListener::ControlListener(Sockets& sockets, Clock& clock, DiagnosticSink diagnostics)
    : sockets_(sockets), clock_(clock), diagnostics_(std::move(diagnostics)) {}

ControlListener::~ControlListener() { closeListeners(); }

int ControlListener::openListener(uint16_t port, DatagramHandler handler) {
  std::unique_ptr<UdpSocket> socket = sockets_.openUdp();
  if (!socket) {
    diagnostics_(kListenerOpenFailedLine);
    return -1;
  }
  if (socket->bind({kLoopbackIpv4, port}) != 0) {
    diagnostics_(kListenerBindFailedLine);
    return -1;
  }
  for (Entry& entry : table_) {
    if (entry.socket) continue;
    entry.socket = std::move(socket);
    entry.handler = std::move(handler);
    entry.thread = std::thread(&ControlListener::receiveLoop, this, std::ref(entry));
    return 0;
  }
  return -1;
}

void ControlListener::receiveLoop(Entry& entry) {
  uint8_t buffer[kMaxReceivedDatagram];
  ControlDatagram datagram;
  while (!stopping_) {
    const int size = entry.socket->receive(buffer, sizeof buffer, kReceiveWaitMs);
    if (size == kReceiveTimedOut) continue;
    if (size < 0) {
      if (!stopping_) clock_.sleepMs(kReceiveErrorPauseMs);
      continue;
    }
    if (decodeControlDatagram(buffer, static_cast<std::size_t>(size), &datagram) != 0) continue;
    entry.handler(datagram.command, datagram.argument,
                  datagram.hasText ? datagram.text.c_str() : nullptr);
  }
}

void ControlListener::closeListeners() {
  stopping_ = true;
  for (Entry& entry : table_) {
    if (entry.socket) entry.socket->cancelReceive();
  }
  for (Entry& entry : table_) {
    if (entry.thread.joinable()) entry.thread.join();
  }
  // Only now, with no thread waiting on them, are the sockets closed.
  for (Entry& entry : table_) {
    entry.socket.reset();
    entry.handler = nullptr;
  }
  stopping_ = false;
}

int ControlListener::listenerEndpoint(int index, Ipv4Endpoint* out) const {
  if (index < 0 || index >= kMaxListeners || !table_[index].socket) return -1;
  return table_[index].socket->localEndpoint(out);
}

}  // namespace orvik
