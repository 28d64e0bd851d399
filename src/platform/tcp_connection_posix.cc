#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "platform/posix_backends.h"
#include "platform/tcp_connection.h"

namespace orvik {
namespace {

using Steady = std::chrono::steady_clock;

// Rounded up, so that a wait never ends before its deadline.
int msLeft(Steady::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Steady::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// The socket is non-blocking throughout: every wait is a poll() with the
// time still left, so no step can outlast its limit.
class PosixTcpConnection final : public TcpConnection {
 public:
  explicit PosixTcpConnection(int fd) : fd_(fd) {}
  ~PosixTcpConnection() override { ::close(fd_); }

  int connect(const Ipv4Endpoint& to, int waitMs) override {
    if (to.address == kAnyIpv4 || to.address == kBroadcastIpv4) return fail(EADDRNOTAVAIL);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(to.address);
    address.sin_port = htons(to.port);
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return 0;
    if (errno != EINPROGRESS) return fail(errno);
    const int ready = waitFor(POLLOUT, Steady::now() + std::chrono::milliseconds(waitMs));
    if (ready <= 0) return -1;
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return fail(errno);
    return error == 0 ? 0 : fail(error);
  }

  int sendAll(const void* data, std::size_t size, int waitMs) override {
    const auto deadline = Steady::now() + std::chrono::milliseconds(waitMs);
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
      const ssize_t sent = ::send(fd_, next, size, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (sent > 0) {
        next += sent;
        size -= static_cast<std::size_t>(sent);
      } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
        if (waitFor(POLLOUT, deadline) <= 0) return -1;
      } else if (errno != EINTR) {
        return fail(errno);
      }
    }
    return 0;
  }

  int waitReadable(int waitMs) override {
    return waitFor(POLLIN, Steady::now() + std::chrono::milliseconds(waitMs));
  }

  int receive(void* buffer, std::size_t capacity) override {
    const ssize_t got = ::recv(fd_, buffer, capacity, MSG_DONTWAIT);
    return got >= 0 ? static_cast<int>(got) : fail(errno);
  }

  int lastError() const override { return error_; }

 private:
  int fail(int error) {
    error_ = error;
    return -1;
  }

  // 1 ready (an error or hang-up counts: the next call reports it), 0 when
  // the deadline passed, -1 on a failed poll.
  int waitFor(short events, Steady::time_point deadline) {
    for (;;) {
      pollfd watch{fd_, events, 0};
      const int ready = ::poll(&watch, 1, msLeft(deadline));
      if (ready > 0) return 1;
      if (ready == 0) {
        error_ = ETIMEDOUT;
        return 0;
      }
      if (errno != EINTR) return fail(errno);
    }
  }

  int fd_;
  int error_ = 0;
};

}  // namespace

std::unique_ptr<TcpConnection> openPosixTcp(int* error) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    *error = errno;
    return nullptr;
  }
  return std::make_unique<PosixTcpConnection>(fd);
}

}  // namespace orvik
