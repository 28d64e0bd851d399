// The same expectations for the fake network and the real sockets, so the
// fake cannot drift from what the system's backend (POSIX or Win32) does on
// loopback.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "platform/fake_sockets.h"
#include "platform/native_backends.h"

namespace orvik {
namespace {

struct NativeBackend {
  Sockets& sockets() { return nativeSockets(); }
};
struct FakeBackend {
  FakeSockets fake;
  Sockets& sockets() { return fake; }
};

template <class Backend>
class SocketsContract : public ::testing::Test {
 protected:
  std::unique_ptr<UdpSocket> bound(Ipv4Endpoint* at) {
    std::unique_ptr<UdpSocket> socket = backend_.sockets().openUdp();
    EXPECT_EQ(socket->bind({kLoopbackIpv4, 0}), 0);
    EXPECT_EQ(socket->localEndpoint(at), 0);
    return socket;
  }
  Backend backend_;
};

using Backends = ::testing::Types<NativeBackend, FakeBackend>;
TYPED_TEST_SUITE(SocketsContract, Backends);

TYPED_TEST(SocketsContract, DatagramsArriveOneByOneCutToCapacity) {
  Ipv4Endpoint at;
  auto receiver = this->bound(&at);
  EXPECT_EQ(at.address, kLoopbackIpv4);
  auto sender = this->backend_.sockets().openUdp();
  for (const std::string text : {"0123456789", "", "next"}) {
    ASSERT_EQ(sender->sendTo(at, text.data(), text.size()), 0);
  }
  char buffer[4];
  ASSERT_EQ(receiver->receive(buffer, sizeof buffer, 1000), 4);
  EXPECT_EQ(std::string(buffer, 4), "0123");
  EXPECT_EQ(receiver->receive(buffer, sizeof buffer, 1000), 0);
  ASSERT_EQ(receiver->receive(buffer, sizeof buffer, 1000), 4);
  EXPECT_EQ(std::string(buffer, 4), "next");
  EXPECT_EQ(receiver->receive(buffer, sizeof buffer, 20), kReceiveTimedOut);
}

TYPED_TEST(SocketsContract, CancelEndsAWaitingReceiveAtOnceAndEveryLaterOne) {
  Ipv4Endpoint at;
  auto receiver = this->bound(&at);
  std::atomic<int> result{1};
  std::thread waiting([&] {
    char buffer[4];
    result = receiver->receive(buffer, sizeof buffer, 60000);
  });
  const auto start = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  receiver->cancelReceive();
  waiting.join();
  EXPECT_EQ(result, kReceiveError);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  char buffer[4];
  EXPECT_EQ(receiver->receive(buffer, sizeof buffer, 60000), kReceiveError);
}

TYPED_TEST(SocketsContract, BoundPortRefusesASecondSocketUntilItsSocketIsGone) {
  Ipv4Endpoint taken;
  auto first = this->bound(&taken);
  auto second = this->backend_.sockets().openUdp();
  EXPECT_EQ(second->bind(taken), -1);
  EXPECT_EQ(second->bind({kAnyIpv4, taken.port}), -1);
  first.reset();
  EXPECT_EQ(second->bind(taken), 0);
}

// An unknown name is not tried: its lookup would leave the machine.
TYPED_TEST(SocketsContract, ResolvesLocalhostAndDottedAddresses) {
  uint32_t address = 0;
  ASSERT_EQ(this->backend_.sockets().resolveHostName("localhost", &address), 0);
  EXPECT_EQ(address, kLoopbackIpv4);
  ASSERT_EQ(this->backend_.sockets().resolveHostName("10.1.2.3", &address), 0);
  EXPECT_EQ(address, 0x0A010203u);
}

TYPED_TEST(SocketsContract, BroadcastIsRefusedUntilEnabled) {
  auto sender = this->backend_.sockets().openUdp();
  EXPECT_EQ(sender->sendTo({kBroadcastIpv4, 9}, "x", 1), -1);
  EXPECT_EQ(sender->enableBroadcast(), 0);
}

}  // namespace
}  // namespace orvik
