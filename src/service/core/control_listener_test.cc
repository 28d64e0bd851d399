#include "service/core/control_listener.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "platform/fake_clock.h"
#include "platform/fake_sockets.h"
#include "platform/native_backends.h"
#include "shared/control_datagram.h"

namespace orvik {
namespace {

struct Received {
  uint32_t command;
  int32_t argument;
  bool hasText;
  std::string text;
};

// What the handler got, and a way to wait for it.
class Inbox {
 public:
  DatagramHandler handler() {
    return [this](uint32_t command, int32_t argument, const char* text) {
      std::lock_guard<std::mutex> lock(mutex_);
      received_.push_back({command, argument, text != nullptr, text ? text : ""});
      arrived_.notify_all();
    };
  }
  std::vector<Received> waitFor(std::size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    EXPECT_TRUE(
        arrived_.wait_for(lock, std::chrono::seconds(5), [&] { return received_.size() >= count; }))
        << "only " << received_.size() << " of " << count << " arrived";
    return received_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<Received> received_;
};

std::vector<uint8_t> withLength(uint32_t command, uint32_t length, const std::string& tail) {
  std::vector<uint8_t> bytes = encodeControlDatagram(command, 0, nullptr);
  for (int i = 0; i < 4; ++i) bytes[8 + i] = static_cast<uint8_t>(length >> (24 - 8 * i));
  bytes.insert(bytes.end(), tail.begin(), tail.end());
  return bytes;
}

class ControlListenerTest : public ::testing::Test {
 protected:
  void send(const std::vector<uint8_t>& bytes, uint32_t address = kLoopbackIpv4) {
    ASSERT_EQ(client_->sendTo({address, kControlPort}, bytes.data(), bytes.size()), 0);
  }

  FakeSockets sockets_;
  FakeClock clock_;
  std::string lines_;
  ControlListener listener_{sockets_, clock_, [this](const char* line) { lines_ += line; }};
  std::unique_ptr<UdpSocket> client_ = sockets_.openUdp();
  Inbox inbox_;
};

TEST_F(ControlListenerTest, DatagramsReachTheHandlerAndMalformedOnesPassNoTextOrNothing) {
  ASSERT_EQ(listener_.openListener(kControlPort, inbox_.handler()), 0);
  send(encodeControlDatagram(369, -1, "run"));
  send(std::vector<uint8_t>(11, 0x01));  // too short: dropped
  send({});                              // empty: dropped
  send(withLength(4096, 0, ""));         // 12 bytes, no text
  send(withLength(4178, 2000, "abc"));   // bad length: no text
  send(withLength(35152, 1000, "xy"));   // announced more than arrived

  const std::vector<Received> got = inbox_.waitFor(4);
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].command, 369u);
  EXPECT_EQ(got[0].argument, -1);
  EXPECT_EQ(got[0].text, "run");
  EXPECT_EQ(got[1].command, 4096u);
  EXPECT_FALSE(got[1].hasText);
  EXPECT_FALSE(got[2].hasText);
  EXPECT_EQ(got[3].text, "xy");
  EXPECT_EQ(lines_, "");
}

TEST_F(ControlListenerTest, ListensOnLoopbackOnly) {
  ASSERT_EQ(listener_.openListener(kControlPort, inbox_.handler()), 0);
  send(encodeControlDatagram(35152, 0, nullptr), 0xC0A80105);  // a LAN address of this host
  send(encodeControlDatagram(4096, 0, nullptr));
  const std::vector<Received> got = inbox_.waitFor(1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].command, 4096u);
}

TEST_F(ControlListenerTest, OpenFailuresPrintTheirLines) {
  sockets_.failOpens(1);
  EXPECT_EQ(listener_.openListener(kControlPort, inbox_.handler()), -1);
  auto other = sockets_.openUdp();
  ASSERT_EQ(other->bind({kAnyIpv4, kControlPort}), 0);
  EXPECT_EQ(listener_.openListener(kControlPort, inbox_.handler()), -1);
  EXPECT_EQ(lines_,
            "openSocket(), Can not open stream socket.\n"
            "OpenSocket(), Unable to bind socket address\n");
  EXPECT_EQ(sockets_.liveSockets(), 2) << "the failed socket is closed";
}

TEST_F(ControlListenerTest, TableHoldsEightListenersAndClosesTheNinthSocket) {
  for (int i = 0; i < kMaxListeners; ++i) {
    ASSERT_EQ(listener_.openListener(static_cast<uint16_t>(9000 + i), inbox_.handler()), 0);
  }
  EXPECT_EQ(listener_.openListener(9100, inbox_.handler()), -1);
  EXPECT_EQ(sockets_.openUdp()->bind({kLoopbackIpv4, 9100}), 0) << "the ninth port is free";
}

TEST_F(ControlListenerTest, ReceiveErrorsPauseTheThreadButDoNotEndIt) {
  sockets_.failReceives(3);
  ASSERT_EQ(listener_.openListener(kControlPort, inbox_.handler()), 0);
  send(encodeControlDatagram(4096, 0, nullptr));
  EXPECT_EQ(inbox_.waitFor(1).size(), 1u);
  EXPECT_GE(clock_.sleptMs(), 3 * kReceiveErrorPauseMs);
}

TEST_F(ControlListenerTest, CloseEndsTheThreadPromptlyAndFreesThePort) {
  ASSERT_EQ(listener_.openListener(kControlPort, inbox_.handler()), 0);
  const auto start = std::chrono::steady_clock::now();
  listener_.closeListeners();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(sockets_.liveSockets(), 1) << "only the test's client is left";
  EXPECT_EQ(listener_.openListener(kControlPort, inbox_.handler()), 0) << "may open again";
}

TEST(ControlListenerOnLoopback, RealSocketIsBoundTo127001AndDeliversDatagrams) {
  FakeClock clock;
  ControlListener listener(nativeSockets(), clock, [](const char*) {});
  Inbox inbox;
  ASSERT_EQ(listener.openListener(0, inbox.handler()), 0);
  Ipv4Endpoint bound;
  ASSERT_EQ(listener.listenerEndpoint(0, &bound), 0);
  EXPECT_EQ(bound.address, kLoopbackIpv4) << "never the wildcard address";

  DatagramSender sender(nativeSockets(), [](const char*) {});
  ASSERT_EQ(sender.sendDatagram(nullptr, bound.port, 66145, 0x00010002, nullptr), 0);
  const std::vector<Received> got = inbox.waitFor(1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].argument, 0x00010002);
}

}  // namespace
}  // namespace orvik
