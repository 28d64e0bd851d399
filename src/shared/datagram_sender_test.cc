#include "shared/datagram_sender.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/fake_sockets.h"
#include "platform/posix_backends.h"
#include "shared/control_datagram.h"

namespace orvik {
namespace {

class DatagramSenderTest : public ::testing::Test {
 protected:
  FakeSockets sockets_;
  std::string lines_;
  DatagramSender sender_{sockets_, [this](const char* line) { lines_ += line; }};
};

TEST_F(DatagramSenderTest, AbsentHostMeansLoopbackAndTheBytesAreOneControlDatagram) {
  ASSERT_EQ(sender_.sendDatagram(nullptr, 8828, 4096, 0, nullptr), 0);
  ASSERT_EQ(sender_.sendDatagram("127.0.0.1", 8830, 35104, 801, "HOST:a"), 0);

  const auto sent = sockets_.sent();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].to.address, kLoopbackIpv4);
  EXPECT_EQ(sent[0].to.port, 8828);
  EXPECT_EQ(sent[0].bytes, encodeControlDatagram(4096, 0, nullptr));
  EXPECT_EQ(sent[1].to.port, 8830);
  EXPECT_EQ(sent[1].bytes, encodeControlDatagram(35104, 801, "HOST:a"));
  EXPECT_EQ(sent[0].socket, sent[1].socket) << "one sender socket for the process";
  EXPECT_EQ(sockets_.resolutions(), 0) << "dotted addresses need no lookup";
  EXPECT_EQ(lines_, "");
}

TEST_F(DatagramSenderTest, HostNamesAreResolvedAndLongNamesCutTo127Characters) {
  sockets_.addHost("upsbox", 0x0A000005);
  const std::string longName(200, 'h');
  sockets_.addHost(longName.substr(0, 127), 0x0A000006);

  ASSERT_EQ(sender_.sendDatagram("upsbox", 8830, 35136, 0, nullptr), 0);
  ASSERT_EQ(sender_.sendDatagram(longName.c_str(), 8830, 35136, 0, nullptr), 0);
  const auto sent = sockets_.sent();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].to.address, 0x0A000005u);
  EXPECT_EQ(sent[1].to.address, 0x0A000006u);
}

TEST_F(DatagramSenderTest, UnresolvableHostFailsAtOnceWithoutALine) {
  EXPECT_EQ(sender_.sendDatagram("nowhere", 8830, 35104, 1, "x"), -1);
  EXPECT_EQ(sockets_.resolutions(), 1);
  EXPECT_TRUE(sockets_.sent().empty());
  EXPECT_EQ(lines_, "");
}

TEST_F(DatagramSenderTest, FailedSendsAreRetriedThriceEachWithItsLine) {
  sockets_.failSends(2);
  EXPECT_EQ(sender_.sendDatagram(nullptr, 8828, 369, 1, nullptr), 0);
  ASSERT_EQ(sockets_.sent().size(), 1u);
  const int number = sockets_.sent()[0].socket;
  const std::string line = "Can not send data through socket " + std::to_string(number) + ".\n";
  EXPECT_EQ(lines_, line + line);

  lines_.clear();
  sockets_.failSends(3);
  EXPECT_EQ(sender_.sendDatagram(nullptr, 8828, 369, 1, nullptr), -1);
  EXPECT_EQ(lines_, line + line + line);
  EXPECT_EQ(sockets_.sent().size(), 1u);
}

TEST_F(DatagramSenderTest, EveryAttemptResolvesTheHostAgain) {
  sockets_.addHost("upsbox", 0x0A000005);
  sockets_.failSends(2);
  EXPECT_EQ(sender_.sendDatagram("upsbox", 8830, 35104, 1, nullptr), 0);
  EXPECT_EQ(sockets_.resolutions(), 3);
}

TEST_F(DatagramSenderTest, SocketThatCannotBeOpenedPrintsItsLineAndIsTriedAgainNextTime) {
  sockets_.failOpens(1);
  EXPECT_EQ(sender_.sendDatagram(nullptr, 8828, 4096, 0, nullptr), -1);
  EXPECT_EQ(lines_, "OpenSocket(), Can not open datagram socket.\n");
  EXPECT_EQ(sender_.sendDatagram(nullptr, 8828, 4096, 0, nullptr), 0);
}

TEST_F(DatagramSenderTest, ClosedSocketIsReplacedOnTheNextSend) {
  ASSERT_EQ(sender_.sendDatagram(nullptr, 8828, 4096, 0, nullptr), 0);
  EXPECT_EQ(sockets_.liveSockets(), 1);
  sender_.closeSocket();
  EXPECT_EQ(sockets_.liveSockets(), 0);
  ASSERT_EQ(sender_.sendDatagram(nullptr, 8828, 4096, 0, nullptr), 0);
  const auto sent = sockets_.sent();
  EXPECT_NE(sent[0].socket, sent[1].socket);
}

TEST_F(DatagramSenderTest, ConcurrentSendersShareOneSocketAndLoseNothing) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([this, t] {
      for (int i = 0; i < 250; ++i) sender_.sendDatagram(nullptr, 8828, 369, t * 1000 + i, nullptr);
    });
  }
  for (std::thread& thread : threads) thread.join();
  const auto sent = sockets_.sent();
  ASSERT_EQ(sent.size(), 1000u);
  for (const auto& datagram : sent) EXPECT_EQ(datagram.socket, sent[0].socket);
  EXPECT_EQ(sockets_.liveSockets(), 1);
}

TEST(DottedIpv4, AcceptsOnlyFourDecimalPartsUpTo255) {
  uint32_t address = 0;
  EXPECT_TRUE(parseDottedIpv4("127.0.0.1", &address));
  EXPECT_EQ(address, kLoopbackIpv4);
  EXPECT_TRUE(parseDottedIpv4("255.255.255.255", &address));
  EXPECT_EQ(address, 0xFFFFFFFFu);
  for (const char* bad : {"", "localhost", "1.2.3", "1.2.3.4.5", "256.0.0.1", "1.2.3.4 ",
                          " 1.2.3.4", "1..2.3", "1.2.3.0004", "1.2.3.-4", "1.2.3.4x"}) {
    EXPECT_FALSE(parseDottedIpv4(bad, &address)) << bad;
  }
}

TEST(DatagramSenderOnLoopback, DatagramArrivesAtARealSocketByteForByte) {
  std::unique_ptr<UdpSocket> receiver = posixSockets().openUdp();
  ASSERT_EQ(receiver->bind({kLoopbackIpv4, 0}), 0);
  Ipv4Endpoint at;
  ASSERT_EQ(receiver->localEndpoint(&at), 0);

  DatagramSender sender(posixSockets(), [](const char*) {});
  ASSERT_EQ(sender.sendDatagram("localhost", at.port, 66145, 0x00020003, "text"), 0);
  uint8_t buffer[kMaxReceivedDatagram];
  const int size = receiver->receive(buffer, sizeof buffer, 2000);
  ASSERT_EQ(size, 16);
  EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + size),
            encodeControlDatagram(66145, 0x00020003, "text"));
}

}  // namespace
}  // namespace orvik
