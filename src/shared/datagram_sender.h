// The outgoing side of the datagram channel, the same in the service and the
// pages: one sender socket per process, opened on first use with
// broadcasting allowed, sendDatagram with its three attempts and
// broadcastDatagram with its two.
//
// Any thread may send at the same time; the socket is opened once.
// Diagnostics are the fixed English lines below, written to standard output
// unless a test hands in its own sink.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/sockets.h"

namespace orvik {

inline constexpr char kSenderOpenFailedLine[] = "OpenSocket(), Can not open datagram socket.\n";
// printf formats with the socket's number.
inline constexpr char kSendFailedFormat[] = "Can not send data through socket %d.\n";
inline constexpr char kBroadcastFailedFormat[] = "Can not broadcast data through socket %d.\n";
inline constexpr int kSendAttempts = 3;
inline constexpr int kBroadcastAttempts = 2;
inline constexpr std::size_t kMaxHostLength = 127;

using DiagnosticSink = std::function<void(const char* line)>;
// Writes the line to standard output at once.
void writeToStandardOutput(const char* line);

// True when text is exactly four decimal parts 0 to 255 joined by dots.
bool parseDottedIpv4(const char* text, uint32_t* address);

class DatagramSender {
 public:
  explicit DatagramSender(Sockets& sockets, DiagnosticSink diagnostics = writeToStandardOutput);

  // Sends one control datagram to host and port; 0 when sent, -1 when not.
  // A null host means "127.0.0.1"; a host is a dotted address or a name
  // (at most 127 characters are used), resolved again on every attempt. An
  // unresolvable host fails at once; a failed send is tried three times in
  // all. A null text sends none.
  int sendDatagram(const char* host, uint16_t port, uint32_t command, int32_t argument,
                   const char* text);

  // Sends one control datagram to the limited broadcast address and port,
  // twice at most; when both fail, to 127.0.0.1 with sendDatagram, so that
  // at least the local receiver gets it. 0 or -1.
  int broadcastDatagram(uint16_t port, uint32_t command, int32_t argument, const char* text);

  // Closes the sender socket (at stop); a later send opens a new one.
  void closeSocket();

 private:
  std::shared_ptr<UdpSocket> senderSocket();
  int resolve(const char* host, uint32_t* address);

  Sockets& sockets_;
  DiagnosticSink diagnostics_;
  std::mutex mutex_;  // guards socket_ only; sends run outside it
  std::shared_ptr<UdpSocket> socket_;
};

}  // namespace orvik
