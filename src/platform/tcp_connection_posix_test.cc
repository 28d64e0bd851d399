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

class TcpConnectionPosix : public ::testing::Test {
 protected:
  void SetUp() override {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(::listen(listener_, 4), 0);
    ASSERT_EQ(getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size), 0);
    at_ = {kLoopbackIpv4, ntohs(address.sin_port)};
    ASSERT_EQ(client_->connect(at_, 1000), 0);
    peer_ = ::accept(listener_, nullptr, nullptr);
  }
  void TearDown() override {
    ::close(peer_);
    ::close(listener_);
  }
  std::unique_ptr<TcpConnection> open() {
    int error = 0;
    return posixSockets().openTcp(&error);
  }

  int listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  int peer_ = -1;
  Ipv4Endpoint at_;
  std::unique_ptr<TcpConnection> client_ = open();
};

TEST_F(TcpConnectionPosix, WaitsEndAtTheirLimitAndThePeersEndReadsAsZero) {
  auto start = Steady::now();
  EXPECT_EQ(client_->waitReadable(100), 0);
  EXPECT_GE(msSince(start), 100);
  ASSERT_EQ(::send(peer_, "250 ok\r\n", 8, 0), 8);
  ASSERT_EQ(client_->waitReadable(1000), 1);
  char got[16] = {};
  EXPECT_EQ(client_->receive(got, 3), 3);
  EXPECT_EQ(client_->receive(got, sizeof got), 5);
  EXPECT_EQ(client_->receive(got, sizeof got), -1) << "nothing there: no wait";
  // A peer that never reads: the send gives up at its limit.
  const std::string lots(64 << 20, 'x');
  start = Steady::now();
  EXPECT_EQ(client_->sendAll(lots.data(), lots.size(), 300), -1);
  EXPECT_GE(msSince(start), 300);
  EXPECT_LT(msSince(start), 3000);
  EXPECT_EQ(client_->lastError(), ETIMEDOUT);
  ::shutdown(peer_, SHUT_WR);
  ASSERT_EQ(client_->waitReadable(1000), 1);
  EXPECT_EQ(client_->receive(got, sizeof got), 0);
}

TEST_F(TcpConnectionPosix, NobodyListeningOrNoServerAddressFailsWithTheErrorNumber) {
  ::close(listener_);
  listener_ = -1;
  auto refused = open();
  EXPECT_EQ(refused->connect(at_, 1000), -1);
  EXPECT_EQ(refused->lastError(), ECONNREFUSED);
  for (const uint32_t nowhere : {kAnyIpv4, kBroadcastIpv4}) {
    auto fresh = open();
    EXPECT_EQ(fresh->connect({nowhere, at_.port}, 1000), -1);
    EXPECT_EQ(fresh->lastError(), EADDRNOTAVAIL);
  }
}

}  // namespace
}  // namespace orvik
