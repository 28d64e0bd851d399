#include "shared/datagram_sender.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/fake_sockets.h"
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
  EXPECT_EQ(sockets_.resolutions(), 0) << "dotted addresses need no lookup";
  EXPECT_EQ(lines_, "");
}

TEST_F(DatagramSenderTest, HostNamesAreResolvedCutTo127CharactersOrFailAtOnce) {
  const std::string longName(200, 'h');
  sockets_.addHost(longName.substr(0, 127), 0x0A000006);
  ASSERT_EQ(sender_.sendDatagram(longName.c_str(), 8830, 35136, 0, nullptr), 0);
  EXPECT_EQ(sockets_.sent().at(0).to.address, 0x0A000006u);

  EXPECT_EQ(sender_.sendDatagram("nowhere", 8830, 35104, 1, "x"), -1);
  EXPECT_EQ(sockets_.resolutions(), 2) << "an unknown host is not tried again";
  EXPECT_EQ(sockets_.sent().size(), 1u);
  EXPECT_EQ(lines_, "");
}

TEST_F(DatagramSenderTest, FailedSendIsTriedThreeTimesResolvingAndPrintingEachTime) {
  sockets_.addHost("upsbox", 0x0A000005);
  sockets_.failSends(2);
  EXPECT_EQ(sender_.sendDatagram("upsbox", 8828, 369, 1, nullptr), 0);
  EXPECT_EQ(sockets_.resolutions(), 3);
  const int number = sockets_.sent().at(0).socket;
  const std::string line = "Can not send data through socket " + std::to_string(number) + ".\n";
  EXPECT_EQ(lines_, line + line);

  lines_.clear();
  sockets_.failSends(3);
  EXPECT_EQ(sender_.sendDatagram(nullptr, 8828, 369, 1, nullptr), -1);
  EXPECT_EQ(lines_, line + line + line);
  EXPECT_EQ(sockets_.sent().size(), 1u);
}

TEST_F(DatagramSenderTest, SocketIsOpenedOnFirstUseAndAgainAfterAFailureOrAClose) {
  sockets_.failOpens(1);
  EXPECT_EQ(sender_.sendDatagram(nullptr, 8828, 4096, 0, nullptr), -1);
  EXPECT_EQ(lines_, "OpenSocket(), Can not open datagram socket.\n");
  ASSERT_EQ(sender_.sendDatagram(nullptr, 8828, 4096, 0, nullptr), 0);
  ASSERT_EQ(sender_.sendDatagram(nullptr, 8828, 4096, 0, nullptr), 0);
  sender_.closeSocket();
  EXPECT_EQ(sockets_.liveSockets(), 0);
  ASSERT_EQ(sender_.sendDatagram(nullptr, 8828, 4096, 0, nullptr), 0);
  const auto sent = sockets_.sent();
  EXPECT_EQ(sent[0].socket, sent[1].socket) << "one sender socket while open";
  EXPECT_NE(sent[1].socket, sent[2].socket);
}

TEST_F(DatagramSenderTest, ConcurrentSendersShareOneSocketAndLoseNothing) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([this] {
      for (int i = 0; i < 250; ++i) sender_.sendDatagram(nullptr, 8828, 369, i, nullptr);
    });
  }
  for (std::thread& thread : threads) thread.join();
  const auto sent = sockets_.sent();
  ASSERT_EQ(sent.size(), 1000u);
  for (const auto& datagram : sent) ASSERT_EQ(datagram.socket, sent[0].socket);
}

TEST_F(DatagramSenderTest, BroadcastFailingTwiceStillReachesTheLocalReceiver) {
  ASSERT_EQ(sender_.broadcastDatagram(8830, 35104, 1, "x"), 0);
  sockets_.failSends(2);
  ASSERT_EQ(sender_.broadcastDatagram(8830, 35104, 801, "y"), 0);
  const auto sent = sockets_.sent();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].to.address, kBroadcastIpv4);
  EXPECT_EQ(sent[0].to.port, 8830);
  EXPECT_EQ(sent[0].bytes, encodeControlDatagram(35104, 1, "x"));
  EXPECT_EQ(sent[1].to.address, kLoopbackIpv4);
  EXPECT_EQ(sent[1].to.port, 8830);
  EXPECT_EQ(sent[1].bytes, encodeControlDatagram(35104, 801, "y"));
  const std::string line =
      "Can not broadcast data through socket " + std::to_string(sent[0].socket) + ".\n";
  EXPECT_EQ(lines_, line + line);

  // Both broadcasts and all three local attempts fail.
  lines_.clear();
  sockets_.failSends(5);
  EXPECT_EQ(sender_.broadcastDatagram(8830, 35104, 1, "z"), -1);
  const std::string sendLine =
      "Can not send data through socket " + std::to_string(sent[0].socket) + ".\n";
  EXPECT_EQ(lines_, line + line + sendLine + sendLine + sendLine);

  lines_.clear();
  sender_.closeSocket();
  sockets_.failOpens(1);
  EXPECT_EQ(sender_.broadcastDatagram(8830, 35104, 1, "z"), -1);
  EXPECT_EQ(lines_, "OpenSocket(), Can not open datagram socket.\n");
  EXPECT_EQ(sockets_.sent().size(), 2u);
}

TEST(DottedIpv4, AcceptsOnlyFourDecimalPartsUpTo255) {
  uint32_t address = 0;
  EXPECT_TRUE(parseDottedIpv4("255.0.0.1", &address));
  EXPECT_EQ(address, 0xFF000001u);
  for (const char* bad : {"", "localhost", "1.2.3", "1.2.3.4.5", "256.0.0.1", " 1.2.3.4", "1..2.3",
                          "1.2.3.0004", "1.2.3.-4", "1.2.3.4x"}) {
    EXPECT_FALSE(parseDottedIpv4(bad, &address)) << bad;
  }
}

}  // namespace
}  // namespace orvik
