#include <winsock2.h>
#include <windows.h>

#include "platform/tcp_connection.h"
#include "platform/win32_backends.h"

namespace orvik {
namespace {

int msLeft(ULONGLONG deadline) {
  const ULONGLONG now = GetTickCount64();
  return now < deadline ? static_cast<int>(deadline - now) : 0;
}

// The socket is non-blocking throughout: every wait is a select() with the
// time still left, so no step can outlast its limit.
class Win32TcpConnection final : public TcpConnection {
 public:
  explicit Win32TcpConnection(SOCKET s) : socket_(s) {}
  ~Win32TcpConnection() override { closesocket(socket_); }

  int connect(const Ipv4Endpoint& to, int waitMs) override {
    if (to.address == kAnyIpv4 || to.address == kBroadcastIpv4) return fail(WSAEADDRNOTAVAIL);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(to.address);
    address.sin_port = htons(to.port);
    if (::connect(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
      return 0;
    }
    if (WSAGetLastError() != WSAEWOULDBLOCK) return fail(WSAGetLastError());
    // A refused connection shows in the exception set, not the write set.
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(socket_, &writable);
    FD_SET(socket_, &failed);
    timeval limit{waitMs / 1000, (waitMs % 1000) * 1000};
    const int ready = select(0, nullptr, &writable, &failed, &limit);
    if (ready == 0) return fail(WSAETIMEDOUT);
    if (ready < 0) return fail(WSAGetLastError());
    int error = 0;
    int size = sizeof error;
    if (getsockopt(socket_, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0) {
      return fail(WSAGetLastError());
    }
    if (FD_ISSET(socket_, &failed) && error == 0) error = WSAECONNREFUSED;
    return error == 0 ? 0 : fail(error);
  }

  int sendAll(const void* data, std::size_t size, int waitMs) override {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(waitMs);
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
      const int sent = ::send(socket_, next, static_cast<int>(size), 0);
      if (sent > 0) {
        next += sent;
        size -= static_cast<std::size_t>(sent);
      } else if (sent == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
        if (waitFor(false, deadline) <= 0) return -1;
      } else {
        return fail(WSAGetLastError());
      }
    }
    return 0;
  }

  int waitReadable(int waitMs) override {
    return waitFor(true, GetTickCount64() + static_cast<ULONGLONG>(waitMs));
  }

  int receive(void* buffer, std::size_t capacity) override {
    const int got = ::recv(socket_, static_cast<char*>(buffer), static_cast<int>(capacity), 0);
    return got >= 0 ? got : fail(WSAGetLastError());
  }

  int lastError() const override { return error_; }

 private:
  int fail(int error) {
    error_ = error;
    return -1;
  }

  // 1 ready (an error or the peer's end counts: the next call reports it), 0
  // when the deadline passed, -1 on a failed select.
  int waitFor(bool reading, ULONGLONG deadline) {
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(socket_, &ready);
    FD_SET(socket_, &failed);
    const int ms = msLeft(deadline);
    timeval limit{ms / 1000, (ms % 1000) * 1000};
    const int count =
        select(0, reading ? &ready : nullptr, reading ? nullptr : &ready, &failed, &limit);
    if (count > 0) return 1;
    if (count == 0) {
      error_ = WSAETIMEDOUT;
      return 0;
    }
    return fail(WSAGetLastError());
  }

  SOCKET socket_;
  int error_ = 0;
};

}  // namespace

std::unique_ptr<TcpConnection> openWin32Tcp(int* error) {
  win32Sockets();  // Windows Sockets started
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  u_long nonBlocking = 1;
  if (s == INVALID_SOCKET || ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
    *error = WSAGetLastError();
    if (s != INVALID_SOCKET) closesocket(s);
    return nullptr;
  }
  return std::make_unique<Win32TcpConnection>(s);
}

}  // namespace orvik
