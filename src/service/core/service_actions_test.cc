// Raised events and the outlet command as the service wires them to the
// action queues and their workers.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "service/actions/action_workers.h"
#include "service/actions/message_catalogue.h"
#include "service/core/service_test_support.h"
#include "service/core/service.h"
#include "service/monitor/monitor_test_support.h"
#include "shared/control_datagram.h"

namespace orvik {
namespace {

class ServiceActionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    freeCatalogue();
    fake_.system.programPathValue = folder_.file("upskeeper");
    writeMessageFiles(folder_, "<1><Power failure><On battery><>\n");
    ASSERT_EQ(service_.serviceStart(fake_.system.programPathValue), 1);
    power_ = eventActionForEvent(service_.record(), 1);
    for (int16_t EventAction::*delay :
         {&EventAction::bnmDelay, &EventAction::mailDelay, &EventAction::pageDelay,
          &EventAction::executeDelay, &EventAction::shutDelay}) {
      storeField(power_->*delay, 0);
    }
    storeField(power_->bnmEnable, 1);
    for (int32_t EventAction::*enable : {&EventAction::mailEnable, &EventAction::pageEnable,
                                         &EventAction::executeEnable, &EventAction::shutEnable}) {
      storeField(power_->*enable, 0);
    }
    storeField(power_->bnmPeriod, 0);
    setText(power_->bnmUsers, "10.0.0.9");
  }
  void TearDown() override {
    service_.serviceStop();
    freeCatalogue();
  }

  // Datagrams to the notice port with this command.
  std::vector<FakeSockets::Sent> notices(uint32_t command) {
    std::vector<FakeSockets::Sent> out;
    for (const FakeSockets::Sent& s : fake_.sockets.sent()) {
      ControlDatagram d;
      if (s.to.port == kNotifyPort &&
          decodeControlDatagram(s.bytes.data(), s.bytes.size(), &d) == 0 && d.command == command) {
        out.push_back(s);
      }
    }
    return out;
  }
  void step(int task) { runStepOnce(service_.tasks()[task]); }

  ScratchFolder folder_;
  FakePlatform fake_;
  Service service_{fake_.platform()};
  EventAction* power_ = nullptr;
};

TEST_F(ServiceActionsTest, RaisedPowerFailureWakesTheBroadcastWorkerWhichSendsTheNotice) {
  for (int id = 0; id < kTaskCount; ++id) service_.tasks()[id].wakeup.take();
  setFlagBit(service_.record().alarmFlags, 1, true);
  step(kMonitorTask);
  EXPECT_TRUE(service_.tasks()[kBroadcastWorker].wakeup.take());
  for (int id = kMailWorker; id <= kShutdownWorker; ++id) {
    EXPECT_FALSE(service_.tasks()[id].wakeup.take()) << "worker " << id << " got nothing";
  }
  EXPECT_FALSE(isTaskIdle(service_.tasks()[kBroadcastWorker]));
  step(kBroadcastWorker);
  const auto sent = notices(kNoticeCommand);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].to.address, 0x0A000009u);
  EXPECT_TRUE(isTaskIdle(service_.tasks()[kBroadcastWorker]));
}

TEST_F(ServiceActionsTest, OutletCommandNotifiesTheHostsAndThenSwitchesTheOutletThroughTheRing) {
  setText(service_.record().outlets[1].outletShutdownDepend, "10.0.0.7;");
  storeField(service_.record().outlets[1].outletShutdownDelay, 0);
  std::unique_ptr<UdpSocket> pages = fake_.sockets.openUdp();
  const std::vector<uint8_t> bytes = encodeControlDatagram(outletCommand, 1, nullptr);
  ASSERT_EQ(pages->sendTo({kLoopbackIpv4, kControlPort}, bytes.data(), bytes.size()), 0);

  ASSERT_TRUE(eventually([&] {
    step(kExecuteWorker);
    return !notices(kRemoteShutdownCommand).empty();
  }));
  EXPECT_EQ(notices(kRemoteShutdownCommand)[0].to.address, 0x0A000007u);
  UpsCommand taken;
  ASSERT_TRUE(eventually([&] {
    step(kExecuteWorker);
    return service_.control().upsCommandQueue().takeUpsCommand(&taken);
  }));
  EXPECT_EQ(taken.command, outletCommand);
  EXPECT_EQ(taken.argument, 1) << "switched off now, outlet 1";
}

}  // namespace
}  // namespace orvik
