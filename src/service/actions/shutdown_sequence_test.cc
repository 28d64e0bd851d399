#include "service/actions/shutdown_sequence.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/fake_clock.h"
#include "platform/fake_processes.h"
#include "platform/fake_sockets.h"
#include "service/actions/broadcast_action.h"
#include "shared/control_datagram.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

constexpr int64_t kRunsForever = FakeProcessStarter::kRunsForever;

// The sequence with the rest of the service faked. The hooks log what they
// are told with the time and bits 22 and 25: "25@0 01" is event 25 raised at
// 0 ms with bit 22 clear and bit 25 set. Bits 1 and 22 are on at the start.
struct Rig : ShutdownHooks {
  Rig() {
    storeField(record->systemDelay, 30);
    storeField(record->upsDelay, 60);
    storeField(record->rebootWithDuration.value, kNotAvailable);
    storeField(record->startupAfterDelay.value, kNotAvailable);
    storeField(record->alarmFlags, (1u << 1) | (1u << 22));
  }
  void stopPolling() override { log.push_back("stop@" + std::to_string(clock.monotonicMs())); }
  void raiseEvent(int kind, int bit) override {
    const uint32_t f = loadField(record->alarmFlags);
    log.push_back(std::to_string((kind == 2 ? 100 : 0) + bit) + "@" +
                  std::to_string(clock.monotonicMs()) + " " + std::to_string(f >> 22 & 1) +
                  std::to_string(f >> 25 & 1));
    if (kind == 1 && queues) {
      queues->enqueueAction(ActionQueues::kBroadcast, *eventActionForEvent(*record, bit), bit,
                            clock.monotonicMs());
    }
  }
  bool isTaskIdle(int task) override { return idle ? idle(task) : true; }
  int64_t nextPowerOnTime(int64_t now) override { return powerOnIn < 0 ? -1 : now + powerOnIn; }

  void run() { sequence.runAction(*eventActionForEvent(*record, 22), {0, 22}); }
  // "address:port command(argument)" of each datagram.
  std::vector<std::string> sent(uint16_t port) {
    std::vector<std::string> out;
    for (const FakeSockets::Sent& s : sockets.sent()) {
      ControlDatagram d;
      decodeControlDatagram(s.bytes.data(), s.bytes.size(), &d);
      if (s.to.port != port) continue;
      char line[64];
      std::snprintf(line, sizeof line, "%08x:%d %u(%d)", s.to.address, s.to.port, d.command,
                    d.argument);
      out.push_back(line);
    }
    return out;
  }

  std::unique_ptr<StatusRecord> record = std::make_unique<StatusRecord>();
  FakeClock clock{0};
  FakeSockets sockets;
  DatagramSender sender{sockets, [](const char*) {}};
  FakeProcessStarter processes{clock};
  FakePowerControl power{clock};
  ShutdownSequence sequence{*record, clock, sender, processes, power, *this, "/opt/my ups/"};
  std::vector<std::string> log;
  std::function<bool(int task)> idle;
  int64_t powerOnIn = -1;
  ActionQueues* queues = nullptr;
};

TEST(ShutdownSequence, GraceIsTheCloserThenAllOfSystemDelayThenUpsCommandsAndPowerOff) {
  const struct {
    int32_t autoSave;
    int16_t systemDelay;
    int64_t closerRunsMs;
    std::vector<std::string> log;  // then the power-off, 5 s after event 125
  } cases[] = {
      {0, 30, 0, {"stop@0", "25@0 01", "125@30000 00"}},
      {1, 30, 4000, {"stop@0", "25@0 01", "125@34000 00"}},
      {1, 30, kRunsForever, {"stop@0", "25@0 01", "125@60000 00"}},
      {1, 30, FakeProcessStarter::kCannotStart, {"stop@0", "25@0 01", "125@30000 00"}},
      {1, 0, kRunsForever, {"stop@0", "25@0 01", "125@10 00"}},
      {0, 0, 0, {"stop@0", "25@0 01", "125@0 00"}},
      {1, -5, kRunsForever, {"stop@0", "25@0 01", "125@10 00"}},
  };
  for (const auto& c : cases) {
    Rig rig;
    storeField(rig.record->autoSave, c.autoSave);
    storeField(rig.record->systemDelay, c.systemDelay);
    rig.processes.runTimeMs = [&c](const std::string&) { return c.closerRunsMs; };
    rig.run();
    SCOPED_TRACE(testing::Message() << "autoSave " << c.autoSave << ", systemDelay "
                                    << c.systemDelay << ", closer " << c.closerRunsMs);
    EXPECT_EQ(rig.log, c.log);
    const int64_t completed = std::stoll(c.log.back().substr(4));
    EXPECT_EQ(rig.power.powerOffs(), std::vector<int64_t>{completed + 5000});
    EXPECT_EQ(rig.sent(8828), std::vector<std::string>{"7f000001:8828 386(60)"});
    EXPECT_EQ(loadField(rig.record->alarmFlags), 1u << 1);
    EXPECT_EQ(rig.processes.starts().size(), c.autoSave ? 1u : 0u);
    if (c.autoSave) {
      EXPECT_EQ(rig.processes.starts()[0].first, "\"/opt/my ups/winsweep\"");
    }
  }
}

TEST(ShutdownSequence, TasksThatNeverGoIdleHoldTheLastLookFiveSecondsAtMost) {
  Rig rig;
  int asked = 0;
  // The monitor is seen idle once and never asked again; worker 2 never idle.
  rig.idle = [&](int task) { return task == 1 ? ++asked > 0 : task != 3; };
  rig.run();
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(rig.power.powerOffs(), std::vector<int64_t>{30000 + 5000 + 5000});
}

TEST(ShutdownSequence, UpsComesBackAtTheEarliestKnownRestartTime) {
  const struct {
    int64_t powerOnIn;  // seconds to the next "Turn on ups" entry, -1 none
    int32_t reboot;
    int16_t startup;
    const char* restore;  // command 387, or "" when not sent
  } cases[] = {
      {-1, -2, -1, ""},
      {-1, 40, -2, "7f000001:8828 387(1)"},  // within upsDelay 60: at least 1
      {3600, 900, 600, "7f000001:8828 387(540)"},
      {120, 900, 600, "7f000001:8828 387(60)"},
      {-1, 0, 600, ""},  // a restart at once is no restart time
  };
  for (const auto& c : cases) {
    Rig rig;
    storeField(rig.record->systemDelay, 0);
    rig.powerOnIn = c.powerOnIn;
    storeField(rig.record->rebootWithDuration.value, c.reboot);
    storeField(rig.record->startupAfterDelay.value, c.startup);
    rig.run();
    std::vector<std::string> expected{"7f000001:8828 386(60)"};
    if (*c.restore) expected.insert(expected.begin(), c.restore);
    EXPECT_EQ(rig.sent(8828), expected) << c.powerOnIn << " " << c.reboot << " " << c.startup;
  }
}

TEST(ShutdownSequence, ShutDependNamesWhoElseIsToldToShutDown) {
  const std::string local = "7f000001:8830 35120(0)";
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"", {local}},
      {"BroadCast", {local, "ffffffff:8830 35136(0)"}},
      {" 10.0.0.7 ;;no-such-host; localhost",
       {local, "0a000007:8830 35136(0)", "7f000001:8830 35136(0)"}},
  };
  for (const auto& [depend, notices] : cases) {
    Rig rig;
    storeField(rig.record->systemDelay, 0);
    setText(rig.record->shutDepend, depend);
    rig.run();
    EXPECT_EQ(rig.sent(8830), notices) << depend;
    EXPECT_EQ(rig.power.powerOffs().size(), 1u);
  }
}

TEST(ShutdownSequence, Event25KeepsItsBroadcastDuringTheGraceOtherEventsDoNot) {
  Rig rig;
  MessageCatalogue catalogue;
  ActionQueues queues(*rig.record, rig.clock);
  struct : MessengerNotices {
    int sendMessengerNotice(const char*, const char*) override { return 1; }
  } messenger;
  BroadcastAction broadcast(*rig.record, rig.clock, catalogue, rig.sender, messenger, queues);
  NotYetBuiltAction none;
  ActionWorkers workers(queues, *rig.record, rig.sender, {&broadcast, &none, &none, &none, &none});
  for (int event : {1, 25}) {
    storeField(eventActionForEvent(*rig.record, event)->bnmEnable, 1);
    setText(eventActionForEvent(*rig.record, event)->bnmUsers, "10.0.0.9");
  }
  queues.enqueueAction(ActionQueues::kBroadcast, *eventActionForEvent(*rig.record, 1), 1, 0);
  rig.queues = &queues;
  int64_t sentAt = -1;
  rig.idle = [&](int task) {  // the broadcast worker runs while the sequence looks
    if (task != 2) return true;
    workers.workerStep(ActionQueues::kBroadcast);
    if (sentAt < 0 && rig.sent(8830).size() > 1) sentAt = rig.clock.monotonicMs();
    return queues.queueIdle(ActionQueues::kBroadcast);
  };
  rig.run();
  const auto sent = rig.sent(8830);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1], "0a000009:8830 35104(25)");
  EXPECT_EQ(sentAt, 0) << "during the grace, which ends at 30000";
}

}  // namespace
}  // namespace orvik
