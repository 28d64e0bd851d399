// Windows Sockets 2.2. A datagram socket waits for input on an event that
// the socket signals (WSAEventSelect) together with an event of its own,
// which cancelReceive raises: select() on another thread's socket cannot
// be woken any other way.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <mswsock.h>

#include <atomic>

#include "platform/tcp_connection.h"
#include "platform/win32_backends.h"

namespace orvik {
namespace {

sockaddr_in toSockaddr(const Ipv4Endpoint& endpoint) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(endpoint.address);
  address.sin_port = htons(endpoint.port);
  return address;
}

class Win32UdpSocket final : public UdpSocket {
 public:
  Win32UdpSocket(SOCKET s, WSAEVENT readable, HANDLE cancel)
      : socket_(s), readable_(readable), cancel_(cancel) {}
  ~Win32UdpSocket() override {
    closesocket(socket_);
    WSACloseEvent(readable_);
    CloseHandle(cancel_);
  }

  int number() const override { return static_cast<int>(socket_); }

  int bind(const Ipv4Endpoint& local) override {
    const sockaddr_in address = toSockaddr(local);
    return ::bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ? 0
                                                                                             : -1;
  }

  int enableBroadcast() override {
    const BOOL on = TRUE;
    return setsockopt(socket_, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on),
                      sizeof on) == 0
               ? 0
               : -1;
  }

  // The socket is non-blocking (WSAEventSelect made it so): a full send
  // buffer is waited out briefly, as a blocking send would.
  int sendTo(const Ipv4Endpoint& to, const void* data, std::size_t size) override {
    const sockaddr_in address = toSockaddr(to);
    for (int attempt = 0; attempt < 100; ++attempt) {
      const int sent = ::sendto(socket_, static_cast<const char*>(data), static_cast<int>(size),
                                0, reinterpret_cast<const sockaddr*>(&address), sizeof address);
      if (sent == static_cast<int>(size)) return 0;
      if (sent != SOCKET_ERROR || WSAGetLastError() != WSAEWOULDBLOCK) return -1;
      Sleep(10);
    }
    return -1;
  }

  int receive(void* buffer, std::size_t capacity, int waitMs) override {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(waitMs > 0 ? waitMs : 0);
    for (;;) {
      if (cancelled_) return kReceiveError;
      const int got = ::recv(socket_, static_cast<char*>(buffer), static_cast<int>(capacity), 0);
      if (got >= 0) return got;
      const int error = WSAGetLastError();
      // A longer datagram: the first capacity bytes are in the buffer, the
      // rest is gone, as the interface wants.
      if (error == WSAEMSGSIZE) return static_cast<int>(capacity);
      if (error != WSAEWOULDBLOCK) return kReceiveError;
      const ULONGLONG now = GetTickCount64();
      if (now >= deadline) return kReceiveTimedOut;
      HANDLE events[2] = {cancel_, readable_};
      const DWORD woken =
          WaitForMultipleObjects(2, events, FALSE, static_cast<DWORD>(deadline - now));
      if (woken == WAIT_OBJECT_0) return kReceiveError;
      if (woken == WAIT_OBJECT_0 + 1) {
        WSANETWORKEVENTS happened;
        WSAEnumNetworkEvents(socket_, readable_, &happened);  // resets the event
      } else if (woken != WAIT_TIMEOUT) {
        return kReceiveError;
      }
    }
  }

  void cancelReceive() override {
    cancelled_ = true;
    SetEvent(cancel_);
  }

  int localEndpoint(Ipv4Endpoint* out) const override {
    sockaddr_in address{};
    int size = sizeof address;
    if (getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size) != 0) return -1;
    out->address = ntohl(address.sin_addr.s_addr);
    out->port = ntohs(address.sin_port);
    return 0;
  }

 private:
  SOCKET socket_;
  WSAEVENT readable_;
  HANDLE cancel_;
  std::atomic<bool> cancelled_{false};
};

class Win32Sockets final : public Sockets {
 public:
  Win32Sockets() {
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~Win32Sockets() override {
    if (started_) WSACleanup();
  }

  std::unique_ptr<UdpSocket> openUdp() override {
    const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) return nullptr;
    // No other program may bind the same port beside us (Windows would let a
    // socket with SO_REUSEADDR take over the control port); and an ICMP
    // "port unreachable" for an earlier send must not fail a later receive.
    const BOOL on = TRUE;
    setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
    BOOL reportResets = FALSE;
    DWORD unused = 0;
    WSAIoctl(s, SIO_UDP_CONNRESET, &reportResets, sizeof reportResets, nullptr, 0, &unused,
             nullptr, nullptr);
    WSAEVENT readable = WSACreateEvent();
    HANDLE cancel = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (readable == WSA_INVALID_EVENT || cancel == nullptr ||
        WSAEventSelect(s, readable, FD_READ) != 0) {
      if (readable != WSA_INVALID_EVENT) WSACloseEvent(readable);
      if (cancel != nullptr) CloseHandle(cancel);
      closesocket(s);
      return nullptr;
    }
    return std::make_unique<Win32UdpSocket>(s, readable, cancel);
  }

  std::unique_ptr<TcpConnection> openTcp(int* error) override { return openWin32Tcp(error); }

  int resolveHostName(const char* name, uint32_t* address) override {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &found) != 0 || found == nullptr) return -1;
    const auto* first = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    *address = ntohl(first->sin_addr.s_addr);
    freeaddrinfo(found);
    return 0;
  }

 private:
  bool started_ = false;
};

}  // namespace

Sockets& win32Sockets() {
  static Win32Sockets sockets;
  return sockets;
}

}  // namespace orvik
