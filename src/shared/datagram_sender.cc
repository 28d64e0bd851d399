#include "shared/datagram_sender.h"

#include <cstdio>
#include <string>

#include "shared/control_datagram.h"

namespace orvik {

void writeToStandardOutput(const char* line) {
  std::fputs(line, stdout);
  std::fflush(stdout);
}

bool parseDottedIpv4(const char* text, uint32_t* address) {
  uint32_t value = 0;
  const char* at = text;
  for (int part = 0; part < 4; ++part) {
    if (part > 0 && *at++ != '.') return false;
    if (*at < '0' || *at > '9') return false;
    unsigned number = 0;
    for (int digits = 0; *at >= '0' && *at <= '9'; ++digits, ++at) {
      if (digits == 3) return false;
      number = number * 10 + static_cast<unsigned>(*at - '0');
    }
    if (number > 255) return false;
    value = value << 8 | number;
  }
  if (*at != '\0') return false;
  *address = value;
  return true;
}

DatagramSender::DatagramSender(Sockets& sockets, DiagnosticSink diagnostics)
    : sockets_(sockets), diagnostics_(std::move(diagnostics)) {}

std::shared_ptr<UdpSocket> DatagramSender::senderSocket() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!socket_) {
    std::unique_ptr<UdpSocket> socket = sockets_.openUdp();
    if (!socket) return nullptr;
    // Refusal only matters to broadcasts, which then fail on their own.
    socket->enableBroadcast();
    socket_ = std::move(socket);
  }
  return socket_;
}

void DatagramSender::closeSocket() {
  std::lock_guard<std::mutex> lock(mutex_);
  socket_.reset();
}

int DatagramSender::resolve(const char* host, uint32_t* address) {
  const std::string name =
      std::string(host == nullptr ? "127.0.0.1" : host).substr(0, kMaxHostLength);
  if (parseDottedIpv4(name.c_str(), address)) return 0;
  return sockets_.resolveHostName(name.c_str(), address);
}

int DatagramSender::sendDatagram(const char* host, uint16_t port, uint32_t command,
                                 int32_t argument, const char* text) {
  const std::vector<uint8_t> datagram = encodeControlDatagram(command, argument, text);
  for (int attempt = 0; attempt < kSendAttempts; ++attempt) {
    const std::shared_ptr<UdpSocket> socket = senderSocket();
    if (!socket) {
      diagnostics_(kSenderOpenFailedLine);
      return -1;
    }
    uint32_t address = 0;
    if (resolve(host, &address) != 0) return -1;
    if (socket->sendTo({address, port}, datagram.data(), datagram.size()) == 0) return 0;
    char line[64];
    std::snprintf(line, sizeof line, kSendFailedFormat, socket->number());
    diagnostics_(line);
  }
  return -1;
}

int DatagramSender::broadcastDatagram(uint16_t port, uint32_t command, int32_t argument,
                                      const char* text) {
  const std::vector<uint8_t> datagram = encodeControlDatagram(command, argument, text);
  for (int attempt = 0; attempt < kBroadcastAttempts; ++attempt) {
    const std::shared_ptr<UdpSocket> socket = senderSocket();
    if (!socket) {
      diagnostics_(kSenderOpenFailedLine);
      return -1;
    }
    if (socket->sendTo({kBroadcastIpv4, port}, datagram.data(), datagram.size()) == 0) return 0;
    char line[64];
    std::snprintf(line, sizeof line, kBroadcastFailedFormat, socket->number());
    diagnostics_(line);
  }
  return sendDatagram("127.0.0.1", port, command, argument, text);
}

}  // namespace orvik
