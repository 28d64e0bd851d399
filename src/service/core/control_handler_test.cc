#include "service/core/control_handler.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <memory>
#include <vector>

#include "platform/fake_platform.h"
#include "service/core/control_channel.h"
#include "service/monitor/record_startup.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

struct RecordingActions final : ControlActions {
  void saveSettings() override {
    ++saves;
    flagsAtSave.push_back(record ? loadField(record->alarmFlags) : 0);
  }
  void closeMainWindow() override { ++closes; }
  void scheduleOutletSwitchOff(int outlet) override { outlets.push_back(outlet); }

  StatusRecord* record = nullptr;
  int saves = 0;
  int closes = 0;
  std::vector<int> outlets;
  std::vector<uint32_t> flagsAtSave;
};

class ControlHandlerTest : public ::testing::Test {
 protected:
  std::vector<std::pair<uint32_t, int32_t>> drain() {
    std::vector<std::pair<uint32_t, int32_t>> pairs;
    UpsCommand pair;
    while (queue_.takeUpsCommand(&pair)) pairs.emplace_back(pair.command, pair.argument);
    return pairs;
  }
  bool nothingHappened() {
    return queue_.isEmpty() && actions_.saves == 0 && actions_.closes == 0 &&
           actions_.outlets.empty();
  }

  UpsCommandQueue queue_;
  RecordingActions actions_;
  ControlHandler handler_{queue_, actions_};
};

TEST_F(ControlHandlerTest, UpsCommandsAreQueuedWithTheirArgumentUnchanged) {
  const uint32_t commands[] = {369, 385, 386, 387, 388, 389, 401, 402,
                               403, 404, 407, 408, 409, 410, 4132};
  const int32_t arguments[] = {-3, 0, 1, INT32_MAX, INT32_MIN, 0x00010003, 600, -1};
  std::vector<std::pair<uint32_t, int32_t>> expected;
  for (uint32_t command : commands) {
    const int32_t argument = arguments[expected.size() % std::size(arguments)];
    handler_.handle(command, argument, "ignored text");
    expected.emplace_back(command, argument);
    // Keep the ring from filling; each command is checked in order below.
    if (expected.size() == 10) {
      EXPECT_EQ(drain(), expected);
      expected.clear();
    }
  }
  EXPECT_EQ(drain(), expected);
  EXPECT_EQ(actions_.saves + actions_.closes, 0);
}

TEST_F(ControlHandlerTest, UnknownCommandsAndTheNeighboursOfKnownOnesAreIgnored) {
  for (uint32_t command :
       {0u,     1u,     368u,   370u,   384u,   390u,   400u,   405u,        406u,
        411u,   4095u,  4097u,  4117u,  4119u,  4131u,  4133u,  4177u,       4179u,
        35104u, 35120u, 35136u, 35151u, 35153u, 66144u, 66146u, 0x80000000u, 0xFFFFFFFFu}) {
    handler_.handle(command, 1, nullptr);
  }
  EXPECT_TRUE(nothingHappened());
}

TEST_F(ControlHandlerTest, SettingsCommandsSaveOncePerDatagram) {
  handler_.handle(4096, 0, nullptr);
  EXPECT_EQ(actions_.saves, 1);
  handler_.handle(4178, 0, nullptr);
  handler_.handle(4096, 0, nullptr);
  EXPECT_EQ(actions_.saves, 3);
  EXPECT_TRUE(queue_.isEmpty());
}

TEST_F(ControlHandlerTest, StopCommandClosesTheMainWindowEvenWithTheRingFull) {
  for (int i = 0; i < kUpsCommandSlots + 5; ++i) handler_.handle(369, 1, nullptr);
  EXPECT_EQ(handler_.refusedCommands(), 6);
  handler_.handle(35152, 0, nullptr);
  EXPECT_EQ(actions_.closes, 1);
  EXPECT_EQ(drain().size(), static_cast<std::size_t>(kUpsCommandSlots - 1));
}

TEST_F(ControlHandlerTest, OutletCommandFollowsTheHighSixteenBitsOfItsArgument) {
  handler_.handle(66145, 0x00010003, nullptr);  // on
  handler_.handle(66145, 0x00020003, nullptr);  // off now
  handler_.handle(66145, 0x0002FFFF, nullptr);  // off now, outlet read as signed
  handler_.handle(66145, 0x00030003, nullptr);  // ignored
  handler_.handle(66145, static_cast<int32_t>(0xFFFF0001), nullptr);  // ignored
  const std::vector<std::pair<uint32_t, int32_t>> expected = {
      {66145, 0x00010003}, {66145, 3}, {66145, -1}};
  EXPECT_EQ(drain(), expected);
  EXPECT_TRUE(actions_.outlets.empty());

  handler_.handle(66145, 5, nullptr);           // timed switch-off of outlet 5
  handler_.handle(66145, 0x0000FFFE, nullptr);  // outlet -2, passed on as it is
  EXPECT_EQ(actions_.outlets, (std::vector<int>{5, -2}));
  EXPECT_TRUE(queue_.isEmpty());
}

TEST_F(ControlHandlerTest, PortChangeQueuesTheReopenResetsTheLinkValuesThenSaves) {
  auto record = std::make_unique<StatusRecord>();
  applyStartupValues(*record, RecordFacts{});
  storeField(record->alarmFlags, 0x01080002u);
  setText(record->model, "Old UPS");
  storeField(record->upsport, 2);
  handler_.attachRecord(record.get());
  actions_.record = record.get();

  handler_.handle(4118, 0, nullptr);

  EXPECT_EQ(drain(), (std::vector<std::pair<uint32_t, int32_t>>{{4118, 0}}));
  EXPECT_EQ(readText(record->model), "");
  EXPECT_EQ(loadField(record->upsport), 2) << "the new port setting stays";
  ASSERT_EQ(actions_.saves, 1);
  EXPECT_EQ(actions_.flagsAtSave[0], 0u) << "the save sees the reset record";
}

TEST_F(ControlHandlerTest, PortChangeBeforeTheRecordExistsStillQueuesAndSaves) {
  handler_.handle(4118, 7, nullptr);
  EXPECT_EQ(drain(), (std::vector<std::pair<uint32_t, int32_t>>{{4118, 7}}));
  EXPECT_EQ(actions_.saves, 1);
}

TEST(ServiceControlActions, StopPostsCloseAndHooksReceiveTheirCalls) {
  FakePlatform fake;
  ServiceControlActions actions(fake.messages);
  actions.saveSettings();  // no hook yet: nothing happens, nothing breaks
  actions.scheduleOutletSwitchOff(1);
  EXPECT_EQ(fake.messages.pending(), 0u);

  int saves = 0;
  std::vector<int> outlets;
  actions.saveSettingsHook = [&] { ++saves; };
  actions.outletSwitchOffHook = [&](int outlet) { outlets.push_back(outlet); };
  actions.saveSettings();
  actions.scheduleOutletSwitchOff(4);
  actions.closeMainWindow();
  EXPECT_EQ(saves, 1);
  EXPECT_EQ(outlets, std::vector<int>{4});
  ASSERT_EQ(fake.messages.pending(), 1u);
  EXPECT_EQ(fake.messages.wait(), WindowMessage::kClose);
}

}  // namespace
}  // namespace orvik
