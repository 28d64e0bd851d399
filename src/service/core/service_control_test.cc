// The control channel as the service wires it: opened at start before the
// record, fed by datagrams to 127.0.0.1:8828, closed at stop.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "platform/fake_platform.h"
#include "service/core/service.h"
#include "shared/control_datagram.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

bool eventually(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

class ServiceControlTest : public ::testing::Test {
 protected:
  void sendToService(uint32_t command, int32_t argument) {
    const std::vector<uint8_t> bytes = encodeControlDatagram(command, argument, nullptr);
    ASSERT_EQ(client_->sendTo({kLoopbackIpv4, kControlPort}, bytes.data(), bytes.size()), 0);
  }

  FakePlatform fake_;
  std::unique_ptr<UdpSocket> client_ = fake_.sockets.openUdp();
};

TEST_F(ServiceControlTest, SecondInstanceStopsWithOneBoxBeforeTouchingTheRecord) {
  auto firstInstance = fake_.sockets.openUdp();
  ASSERT_EQ(firstInstance->bind({kLoopbackIpv4, kControlPort}), 0);

  Service service(fake_.platform());
  EXPECT_EQ(service.serviceStart("/opt/orvik/upskeeper"), 0);
  ASSERT_EQ(fake_.ui.boxes.size(), 1u);
  EXPECT_EQ(fake_.ui.boxes[0].rfind("Power Device Service: ", 0), 0u) << fake_.ui.boxes[0];
  EXPECT_FALSE(fake_.sharedMemory.exists(kRecordName));
}

TEST_F(ServiceControlTest, StopCommandPostsCloseAndTheStopFreesThePort) {
  Service service(fake_.platform());
  ASSERT_EQ(service.serviceStart("/opt/orvik/upskeeper"), 1);
  sendToService(kStopServiceCommand, 0);
  ASSERT_TRUE(eventually([&] { return fake_.messages.pending() == 1; }));
  EXPECT_EQ(fake_.messages.wait(), WindowMessage::kClose);

  service.serviceStop();
  auto next = fake_.sockets.openUdp();
  EXPECT_EQ(next->bind({kLoopbackIpv4, kControlPort}), 0) << "the listener socket is closed";
}

TEST_F(ServiceControlTest, PortChangeReachesThePollTasksRingAndResetsTheServiceRecord) {
  Service service(fake_.platform());
  ASSERT_EQ(service.serviceStart("/opt/orvik/upskeeper"), 1);
  storeField(service.record().alarmFlags, 0x01080000u);
  std::atomic<int> saves{0};
  service.control().actions().saveSettingsHook = [&] { ++saves; };

  sendToService(kPortsChangedCommand, 0);
  UpsCommand taken;
  ASSERT_TRUE(
      eventually([&] { return service.control().upsCommandQueue().takeUpsCommand(&taken); }));
  EXPECT_EQ(taken.command, kPortsChangedCommand);
  ASSERT_TRUE(eventually([&] { return saves == 1; }));
  EXPECT_EQ(loadField(service.record().alarmFlags), 0u);
  service.serviceStop();
}

}  // namespace
}  // namespace orvik
