// upskeeper's control port from outside: the real binary in a temporary
// folder, datagrams on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

#include "e2e_process.h"
#include "platform/posix_backends.h"
#include "shared/control_datagram.h"
#include "shared/datagram_sender.h"

namespace orvik::e2e {
namespace {

constexpr int kStartMs = 10000;
constexpr int kStopMs = 40000;  // the stop may wait for the tasks

bool controlPortBound() { return !boundUdpSockets(kControlPort).empty(); }

class ControlChannelEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(controlPortBound()) << "port 8828 is in use; is an upskeeper running?";
  }

  void startService(ProgramInTempFolder& service) {
    ASSERT_TRUE(service.start());
    ASSERT_TRUE(waitUntil(kStartMs, controlPortBound))
        << "the control port never opened: " << service.standardError();
  }

  int send(uint32_t command, int32_t argument) {
    return sender_.sendDatagram(nullptr, kControlPort, command, argument, nullptr);
  }

  DatagramSender sender_{posixSockets(), [](const char*) {}};
};

TEST_F(ControlChannelEndToEnd, StopCommandEndsTheServiceWithExitCodeZero) {
  ProgramInTempFolder service(UPSKEEPER_PATH);
  startService(service);
  ASSERT_EQ(send(kStopServiceCommand, 0), 0);
  int code = -1;
  ASSERT_TRUE(service.waitExit(kStopMs, &code)) << "still running after the stop command";
  EXPECT_EQ(code, 0) << service.standardError();
  EXPECT_FALSE(controlPortBound());
}

TEST_F(ControlChannelEndToEnd, ControlPortIsBoundToLoopbackOnly) {
  ProgramInTempFolder service(UPSKEEPER_PATH);
  startService(service);
  const std::vector<BoundUdp> bound = boundUdpSockets(kControlPort);
  ASSERT_EQ(bound.size(), 1u);
  EXPECT_EQ(bound[0].address, kLoopbackIpv4) << "reachable from other machines";
  EXPECT_FALSE(boundUdp6(kControlPort));
  ASSERT_EQ(send(kStopServiceCommand, 0), 0);
  int code = -1;
  EXPECT_TRUE(service.waitExit(kStopMs, &code));
}

TEST_F(ControlChannelEndToEnd, SecondInstanceFindsThePortTakenAndExitsWithCodeOne) {
  ProgramInTempFolder first(UPSKEEPER_PATH);
  startService(first);
  ProgramInTempFolder second(UPSKEEPER_PATH);
  ASSERT_TRUE(second.start());
  int code = -1;
  ASSERT_TRUE(second.waitExit(kStartMs, &code));
  EXPECT_EQ(code, 1);
  EXPECT_NE(second.standardError().find("Power Device Service: "), std::string::npos)
      << second.standardError();
  EXPECT_TRUE(first.running()) << "the first instance must not be disturbed";

  ASSERT_EQ(send(kStopServiceCommand, 0), 0);
  ASSERT_TRUE(first.waitExit(kStopMs, &code));
  EXPECT_EQ(code, 0);
}

TEST_F(ControlChannelEndToEnd, GarbageDatagramsLeaveTheServiceRunningAndStoppable) {
  ProgramInTempFolder service(UPSKEEPER_PATH);
  startService(service);
  std::mt19937 random(8828);
  auto client = posixSockets().openUdp();
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 2000; ++i) {
    bytes.resize(random() % 1501);
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
    // Not the stop command (0x00008950), which would end the run early.
    if (bytes.size() >= 4 && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 0x89) bytes[2] = 0;
    client->sendTo({kLoopbackIpv4, kControlPort}, bytes.data(), bytes.size());
  }
  for (uint32_t command : {4096u, 4118u, 4178u, 369u, 66145u}) ASSERT_EQ(send(command, 0), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // let the listener work through them
  EXPECT_TRUE(service.running()) << service.standardError();

  ASSERT_EQ(send(kStopServiceCommand, 0), 0);
  int code = -1;
  ASSERT_TRUE(service.waitExit(kStopMs, &code));
  EXPECT_EQ(code, 0);
}

}  // namespace
}  // namespace orvik::e2e
