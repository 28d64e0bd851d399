#include "service/core/control_handler.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/fake_platform.h"
#include "service/core/control_channel.h"
#include "service/monitor/record_startup.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

using Pairs = std::vector<std::pair<uint32_t, int32_t>>;

struct RecordingActions final : ControlActions {
  void saveSettings() override {
    flagsAtSave.push_back(record ? loadField(record->alarmFlags) : 0xFFFFFFFF);
  }
  void closeMainWindow() override { ++closes; }
  void scheduleOutletSwitchOff(int outlet) override { outlets.push_back(outlet); }

  StatusRecord* record = nullptr;
  std::vector<uint32_t> flagsAtSave;  // one entry per save
  int closes = 0;
  std::vector<int> outlets;
};

class ControlHandlerTest : public ::testing::Test {
 protected:
  Pairs drain() {
    Pairs pairs;
    UpsCommand pair;
    while (queue_.takeUpsCommand(&pair)) pairs.emplace_back(pair.command, pair.argument);
    return pairs;
  }

  UpsCommandQueue queue_;
  RecordingActions actions_;
  ControlHandler handler_{queue_, actions_};
};

TEST_F(ControlHandlerTest, UpsCommandsAreQueuedWithTheirArgumentUnchanged) {
  const int32_t arguments[] = {-3, 0, 1, INT32_MAX, INT32_MIN, 0x00010003, 600, -1};
  Pairs expected;
  for (uint32_t command :
       {369, 385, 386, 387, 388, 389, 401, 402, 403, 404, 407, 408, 409, 410, 4132}) {
    const int32_t argument = arguments[command % 8];
    handler_.handle(command, argument, "ignored text");
    expected.emplace_back(command, argument);
  }
  EXPECT_EQ(drain(), expected);
  EXPECT_TRUE(actions_.flagsAtSave.empty());
  EXPECT_EQ(actions_.closes, 0);
}

TEST_F(ControlHandlerTest, OtherCommandsSaveCloseOrAreIgnored) {
  for (uint32_t command : {0u,    368u,   370u,   384u,   390u,   400u,   405u,       406u,
                           411u,  4095u,  4097u,  4117u,  4119u,  4131u,  4133u,      4177u,
                           4179u, 35104u, 35151u, 35153u, 66144u, 66146u, 0xFFFFFFFFu}) {
    handler_.handle(command, 1, nullptr);
  }
  EXPECT_TRUE(queue_.isEmpty());
  EXPECT_TRUE(actions_.flagsAtSave.empty());
  EXPECT_EQ(actions_.closes, 0);

  handler_.handle(4096, 0, nullptr);
  handler_.handle(4178, 0, nullptr);
  EXPECT_EQ(actions_.flagsAtSave.size(), 2u);
  handler_.handle(35152, 0, nullptr);
  EXPECT_EQ(actions_.closes, 1);
  EXPECT_TRUE(queue_.isEmpty());
}

TEST_F(ControlHandlerTest, StopStillWorksWhileTheRingIsFull) {
  for (int i = 0; i < kUpsCommandSlots + 5; ++i) handler_.handle(369, i, nullptr);
  EXPECT_EQ(handler_.refusedCommands(), 6);
  handler_.handle(35152, 0, nullptr);
  EXPECT_EQ(actions_.closes, 1);
  EXPECT_EQ(drain().back(), (std::pair<uint32_t, int32_t>{369, kUpsCommandSlots - 2}));
}

TEST_F(ControlHandlerTest, OutletCommandFollowsTheHighSixteenBitsOfItsArgument) {
  handler_.handle(66145, 0x00010003, nullptr);  // on
  handler_.handle(66145, 0x00020003, nullptr);  // off now
  handler_.handle(66145, 0x0002FFFF, nullptr);  // off now, outlet read as signed
  handler_.handle(66145, 0x00030003, nullptr);  // ignored
  handler_.handle(66145, static_cast<int32_t>(0xFFFF0001), nullptr);  // ignored
  EXPECT_EQ(drain(), (Pairs{{66145, 0x00010003}, {66145, 3}, {66145, -1}}));
  EXPECT_TRUE(actions_.outlets.empty());

  handler_.handle(66145, 5, nullptr);           // timed switch-off of outlet 5
  handler_.handle(66145, 0x0000FFFE, nullptr);  // outlet -2, passed on as it is
  EXPECT_EQ(actions_.outlets, (std::vector<int>{5, -2}));
  EXPECT_TRUE(queue_.isEmpty());
}

TEST_F(ControlHandlerTest, PortChangeQueuesTheReopenResetsTheLinkValuesThenSaves) {
  handler_.handle(4118, 7, nullptr);  // before the record exists: no reset, no crash
  EXPECT_EQ(drain(), (Pairs{{4118, 7}}));
  EXPECT_EQ(actions_.flagsAtSave.size(), 1u);

  auto record = std::make_unique<StatusRecord>();
  applyUpsStartValues(*record);
  storeField(record->alarmFlags, 0x01080002u);
  setText(record->model, "Old UPS");
  storeField(record->upsport, 2);
  handler_.attachRecord(record.get());
  actions_.record = record.get();
  handler_.handle(4118, 0, nullptr);

  EXPECT_EQ(drain(), (Pairs{{4118, 0}}));
  EXPECT_EQ(readText(record->model), "");
  EXPECT_EQ(loadField(record->upsport), 2) << "the new port setting stays";
  ASSERT_EQ(actions_.flagsAtSave.size(), 2u);
  EXPECT_EQ(actions_.flagsAtSave[1], 0u) << "the save sees the reset record";
}

TEST(ServiceControlActions, StopPostsCloseAndUnsetHooksDoNothing) {
  FakePlatform fake;
  ServiceControlActions actions(fake.messages);
  actions.saveSettings();
  actions.scheduleOutletSwitchOff(1);
  EXPECT_EQ(fake.messages.pending(), 0u);

  std::vector<int> outlets;
  actions.outletSwitchOffHook = [&](int outlet) { outlets.push_back(outlet); };
  actions.scheduleOutletSwitchOff(4);
  EXPECT_EQ(outlets, std::vector<int>{4});
  actions.closeMainWindow();
  ASSERT_EQ(fake.messages.pending(), 1u);
  EXPECT_EQ(fake.messages.wait(), WindowMessage::kClose);
}

}  // namespace
}  // namespace orvik
