// IPv4 datagram sockets, TCP client sockets and host-name resolution: what
// the control channel, the datagram sender, the notices and the mail need
// from the network.
//
// Addresses are 32-bit values in host order (127.0.0.1 is 0x7F000001),
// ports plain numbers; the backends translate to and from the OS forms.
// One socket may send from several threads at once; receive, bind and close
// belong to its owner's thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace orvik {

class TcpConnection;  // tcp_connection.h

inline constexpr uint32_t kAnyIpv4 = 0;
inline constexpr uint32_t kLoopbackIpv4 = 0x7F000001;
inline constexpr uint32_t kBroadcastIpv4 = 0xFFFFFFFF;

struct Ipv4Endpoint {
  uint32_t address = kAnyIpv4;
  uint16_t port = 0;
};

// What receive() returns besides a datagram's size.
inline constexpr int kReceiveError = -1;
inline constexpr int kReceiveTimedOut = -2;

class UdpSocket {
 public:
  virtual ~UdpSocket() = default;  // closes the socket

  // The OS's number for the socket, for diagnostic lines.
  virtual int number() const = 0;
  // Binds to one local address and port (0 picks a free port); 0 or -1.
  // No address reuse: a port already bound elsewhere fails.
  virtual int bind(const Ipv4Endpoint& local) = 0;
  // Allows sending to broadcast addresses; 0 or -1.
  virtual int enableBroadcast() = 0;
  // Sends the whole datagram; 0 or -1.
  virtual int sendTo(const Ipv4Endpoint& to, const void* data, std::size_t size) = 0;
  // Waits at most waitMs for one datagram and copies at most capacity bytes
  // of it (the rest of a longer one is discarded). Returns the bytes copied
  // (0 for an empty datagram), kReceiveTimedOut or kReceiveError.
  virtual int receive(void* buffer, std::size_t capacity, int waitMs) = 0;
  // Ends a receive() waiting on another thread, and makes every later one
  // return kReceiveError at once: how an owner stops its receive thread
  // without that thread waking up periodically to look.
  virtual void cancelReceive() = 0;
  // The address and port the socket is bound to; 0 or -1.
  virtual int localEndpoint(Ipv4Endpoint* out) const = 0;
};

class Sockets {
 public:
  virtual ~Sockets() = default;

  // A new unbound IPv4 datagram socket, or null.
  virtual std::unique_ptr<UdpSocket> openUdp() = 0;
  // A new unconnected TCP socket, or null with the OS's error number in
  // *error.
  virtual std::unique_ptr<TcpConnection> openTcp(int* error) = 0;
  // The first IPv4 address of a host name (a dotted address also works);
  // 0 or -1 when it cannot be resolved.
  virtual int resolveHostName(const char* name, uint32_t* address) = 0;
};

}  // namespace orvik
