// The same expectations for the fake network and the real sockets, so the
// fake cannot drift from what the POSIX backend does on loopback.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "platform/fake_sockets.h"
#include "platform/posix_backends.h"

namespace orvik {
namespace {

struct PosixFactory {
  Sockets& sockets() { return posixSockets(); }
};
struct FakeFactory {
  FakeSockets fake;
  Sockets& sockets() { return fake; }
};

template <class Factory>
class SocketsContract : public ::testing::Test {
 protected:
  std::unique_ptr<UdpSocket> boundToLoopback() {
    std::unique_ptr<UdpSocket> socket = factory_.sockets().openUdp();
    EXPECT_NE(socket, nullptr);
    EXPECT_EQ(socket->bind({kLoopbackIpv4, 0}), 0);
    return socket;
  }
  Ipv4Endpoint endpointOf(const UdpSocket& socket) {
    Ipv4Endpoint endpoint;
    EXPECT_EQ(socket.localEndpoint(&endpoint), 0);
    return endpoint;
  }
  Factory factory_;
};

using Backends = ::testing::Types<PosixFactory, FakeFactory>;
TYPED_TEST_SUITE(SocketsContract, Backends);

TYPED_TEST(SocketsContract, DatagramSentToBoundLoopbackPortArrivesWhole) {
  auto receiver = this->boundToLoopback();
  auto sender = this->factory_.sockets().openUdp();
  const Ipv4Endpoint to = this->endpointOf(*receiver);
  EXPECT_EQ(to.address, kLoopbackIpv4);
  EXPECT_NE(to.port, 0);

  ASSERT_EQ(sender->sendTo(to, "hello", 5), 0);
  ASSERT_EQ(sender->sendTo(to, "", 0), 0);
  char buffer[16] = {};
  ASSERT_EQ(receiver->receive(buffer, sizeof buffer, 1000), 5);
  EXPECT_EQ(std::string(buffer, 5), "hello");
  EXPECT_EQ(receiver->receive(buffer, sizeof buffer, 1000), 0);
}

TYPED_TEST(SocketsContract, LongDatagramIsCutToCapacityAndTheRestDropped) {
  auto receiver = this->boundToLoopback();
  auto sender = this->factory_.sockets().openUdp();
  const Ipv4Endpoint to = this->endpointOf(*receiver);
  ASSERT_EQ(sender->sendTo(to, "0123456789", 10), 0);
  ASSERT_EQ(sender->sendTo(to, "next", 4), 0);
  char buffer[4] = {};
  ASSERT_EQ(receiver->receive(buffer, sizeof buffer, 1000), 4);
  EXPECT_EQ(std::string(buffer, 4), "0123");
  ASSERT_EQ(receiver->receive(buffer, sizeof buffer, 1000), 4);
  EXPECT_EQ(std::string(buffer, 4), "next");
}

TYPED_TEST(SocketsContract, ReceiveWithNothingWaitingTimesOut) {
  auto receiver = this->boundToLoopback();
  char buffer[8];
  EXPECT_EQ(receiver->receive(buffer, sizeof buffer, 20), kReceiveTimedOut);
}

TYPED_TEST(SocketsContract, SecondBindOfTheSamePortFails) {
  auto first = this->boundToLoopback();
  const Ipv4Endpoint taken = this->endpointOf(*first);
  auto second = this->factory_.sockets().openUdp();
  EXPECT_EQ(second->bind(taken), -1);
  EXPECT_EQ(second->bind({kAnyIpv4, taken.port}), -1);
}

TYPED_TEST(SocketsContract, PortIsFreeAgainOnceItsSocketIsGone) {
  auto first = this->boundToLoopback();
  const Ipv4Endpoint taken = this->endpointOf(*first);
  first.reset();
  auto second = this->factory_.sockets().openUdp();
  EXPECT_EQ(second->bind(taken), 0);
}

// An unknown name is not tried here: its lookup would leave the machine.
TYPED_TEST(SocketsContract, ResolvesLocalhostAndDottedAddresses) {
  uint32_t address = 0;
  ASSERT_EQ(this->factory_.sockets().resolveHostName("localhost", &address), 0);
  EXPECT_EQ(address, kLoopbackIpv4);
  ASSERT_EQ(this->factory_.sockets().resolveHostName("10.1.2.3", &address), 0);
  EXPECT_EQ(address, 0x0A010203u);
}

TYPED_TEST(SocketsContract, BroadcastNeedsTheOptionFirst) {
  auto sender = this->factory_.sockets().openUdp();
  // Only the refusal is checked: a broadcast that is allowed would leave the machine.
  EXPECT_EQ(sender->sendTo({kBroadcastIpv4, 9}, "x", 1), -1);
  EXPECT_EQ(sender->enableBroadcast(), 0);
}

}  // namespace
}  // namespace orvik
