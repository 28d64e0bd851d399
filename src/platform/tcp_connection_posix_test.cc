// The POSIX connection against a real listener on 127.0.0.1.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

#include "platform/posix_backends.h"
#include "platform/tcp_connection.h"

namespace orvik {
namespace {

using Steady = std::chrono::steady_clock;

int64_t msSince(Steady::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start).count();
}

TEST(TcpConnectionPosix, EveryWaitEndsAtItsLimitAndThePeersEndReadsAsZero) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
  ASSERT_EQ(::listen(listener, 1), 0);
  ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
  int error = 0;
  const auto client = posixSockets().openTcp(&error);
  EXPECT_EQ(client->connect({kBroadcastIpv4, 25}, 1000), -1);
  EXPECT_EQ(client->lastError(), EADDRNOTAVAIL);
  ASSERT_EQ(client->connect({kLoopbackIpv4, ntohs(address.sin_port)}, 1000), 0);
  const int peer = ::accept(listener, nullptr, nullptr);

  auto start = Steady::now();
  EXPECT_EQ(client->waitReadable(100), 0);
  EXPECT_GE(msSince(start), 100);
  ASSERT_EQ(::send(peer, "250 ok\r\n", 8, 0), 8);
  ASSERT_EQ(client->waitReadable(1000), 1);
  char got[16] = {};
  EXPECT_EQ(client->receive(got, 3), 3);
  EXPECT_EQ(client->receive(got, sizeof got), 5);
  EXPECT_EQ(client->receive(got, sizeof got), -1) << "nothing there: no wait";
  // The peer never reads: the send gives up at its limit.
  const std::string lots(64 << 20, 'x');
  start = Steady::now();
  EXPECT_EQ(client->sendAll(lots.data(), lots.size(), 300), -1);
  EXPECT_GE(msSince(start), 300);
  EXPECT_LT(msSince(start), 3000);
  EXPECT_EQ(client->lastError(), ETIMEDOUT);
  ::shutdown(peer, SHUT_WR);
  ASSERT_EQ(client->waitReadable(1000), 1);
  EXPECT_EQ(client->receive(got, sizeof got), 0);
  ::close(peer);
  ::close(listener);
}

}  // namespace
}  // namespace orvik
