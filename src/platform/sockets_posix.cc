#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/posix_backends.h"
#include "platform/tcp_connection.h"

namespace orvik {
namespace {

sockaddr_in toSockaddr(const Ipv4Endpoint& endpoint) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(endpoint.address);
  address.sin_port = htons(endpoint.port);
  return address;
}

class PosixUdpSocket final : public UdpSocket {
 public:
  explicit PosixUdpSocket(int fd) : fd_(fd) {}
  ~PosixUdpSocket() override { ::close(fd_); }

  int number() const override { return fd_; }

  int bind(const Ipv4Endpoint& local) override {
    const sockaddr_in address = toSockaddr(local);
    return ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ? 0 : -1;
  }

  int enableBroadcast() override {
    const int on = 1;
    return setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0 ? 0 : -1;
  }

  int sendTo(const Ipv4Endpoint& to, const void* data, std::size_t size) override {
    const sockaddr_in address = toSockaddr(to);
    const ssize_t sent = ::sendto(fd_, data, size, MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return sent == static_cast<ssize_t>(size) ? 0 : -1;
  }

  int receive(void* buffer, std::size_t capacity, int waitMs) override {
    if (cancelled_) return kReceiveError;
    pollfd watch{fd_, POLLIN, 0};
    const int ready = ::poll(&watch, 1, waitMs);
    if (cancelled_) return kReceiveError;
    if (ready == 0 || (ready < 0 && errno == EINTR)) return kReceiveTimedOut;
    if (ready < 0) return kReceiveError;
    const ssize_t got = ::recv(fd_, buffer, capacity, MSG_DONTWAIT);
    if (got >= 0) return static_cast<int>(got);
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? kReceiveTimedOut
                                                                     : kReceiveError;
  }

  // Shutting the reading side wakes a poll() on another thread at once.
  void cancelReceive() override {
    cancelled_ = true;
    ::shutdown(fd_, SHUT_RD);
  }

  int localEndpoint(Ipv4Endpoint* out) const override {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0) return -1;
    out->address = ntohl(address.sin_addr.s_addr);
    out->port = ntohs(address.sin_port);
    return 0;
  }

 private:
  int fd_;
  std::atomic<bool> cancelled_{false};
};

class PosixSockets final : public Sockets {
 public:
  std::unique_ptr<UdpSocket> openUdp() override {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    return std::make_unique<PosixUdpSocket>(fd);
  }

  std::unique_ptr<TcpConnection> openTcp(int* error) override { return openPosixTcp(error); }

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
};

}  // namespace

Sockets& posixSockets() {
  static PosixSockets sockets;
  return sockets;
}

}  // namespace orvik
