#include "service/actions/shutdown_sequence.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/fake_clock.h"
#include "platform/fake_processes.h"
#include "platform/fake_sockets.h"
#include "service/actions/action_queues.h"
#include "service/actions/broadcast_action.h"
#include "shared/control_datagram.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

constexpr uint32_t kLoopback = 0x7F000001;
constexpr uint32_t kBroadcastAddress = 0xFFFFFFFF;
constexpr int64_t kNoSchedule = -1;

// The rest of the service, as the sequence sees it: what it was told, when.
class RecordingHooks final : public ShutdownHooks {
 public:
  RecordingHooks(FakeClock& clock, StatusRecord& record) : clock_(clock), record_(record) {}
  void stopPolling() override { steps.push_back({"stop polling", clock_.monotonicMs()}); }
  void raiseEvent(int kind, int bit) override {
    const uint32_t flags = loadField(record_.alarmFlags);
    steps.push_back({"event " + std::to_string((kind == 2 ? 100 : 0) + bit) + " bits 22,25 " +
                         std::to_string(flags >> 22 & 1) + std::to_string(flags >> 25 & 1),
                     clock_.monotonicMs()});
    if (onEvent) onEvent(kind, bit);
  }
  bool isTaskIdle(int task) override {
    ++asks[task];
    return idle ? idle(task) : true;
  }
  int64_t nextPowerOnTime(int64_t now) override {
    return powerOnInSeconds == kNoSchedule ? -1 : now + powerOnInSeconds;
  }

  int64_t timeOf(const std::string& prefix) const {
    for (const Step& s : steps) {
      if (s.what.starts_with(prefix)) return s.atMs;
    }
    return -1;
  }

  struct Step {
    std::string what;
    int64_t atMs;
  };
  std::vector<Step> steps;
  std::function<bool(int task)> idle;
  std::function<void(int kind, int bit)> onEvent;
  int asks[kOtherTaskCount] = {};
  int64_t powerOnInSeconds = kNoSchedule;

 private:
  FakeClock& clock_;
  StatusRecord& record_;
};

struct Sent {
  uint32_t address;
  uint16_t port;
  uint32_t command;
  int32_t argument;
  bool operator==(const Sent&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Sent& s) {
  return out << std::hex << s.address << std::dec << ":" << s.port << " " << s.command << "("
             << s.argument << ")";
}

// One sequence with everything around it faked; a power failure is on and
// the schedule has asked for the shutdown (bits 1 and 22).
struct Rig {
  Rig() {
    storeField(record->systemDelay, 30);
    storeField(record->upsDelay, 60);
    storeField(record->rebootWithDuration.value, kNotAvailable);
    storeField(record->startupAfterDelay.value, kNotAvailable);
    setFlagBit(record->alarmFlags, 1, true);
    setFlagBit(record->alarmFlags, 22, true);
  }
  void run() { sequence.runAction(*eventActionForEvent(*record, 22), {clock.monotonicMs(), 22}); }
  std::vector<Sent> sent(uint16_t port = 0) {
    std::vector<Sent> out;
    for (const FakeSockets::Sent& s : sockets.sent()) {
      ControlDatagram d;
      EXPECT_EQ(decodeControlDatagram(s.bytes.data(), s.bytes.size(), &d), 0);
      if (port == 0 || s.to.port == port)
        out.push_back({s.to.address, s.to.port, d.command, d.argument});
    }
    return out;
  }
  int64_t completedAt() const { return hooks.timeOf("event 125"); }
  int64_t powerOffAt() {
    const auto offs = power.powerOffs();
    EXPECT_EQ(offs.size(), 1u) << "one power-off request";
    return offs.empty() ? -1 : offs[0];
  }

  std::unique_ptr<StatusRecord> record = std::make_unique<StatusRecord>();
  FakeClock clock;
  FakeSockets sockets;
  DatagramSender sender{sockets, [](const char*) {}};
  FakeProcessStarter processes{clock};
  FakePowerControl power{clock};
  RecordingHooks hooks{clock, *record};
  ShutdownSequence sequence{*record, clock, sender, processes, power, hooks, "/opt/orvik dir/"};
};

TEST(ShutdownSequence, StepsComeInOrderAndEndWithThePowerOff) {
  Rig rig;
  storeField(rig.record->autoSave, 1);
  storeField(rig.record->rebootWithDuration.value, 600);
  setText(rig.record->shutDepend, "10.0.0.5;10.0.0.6");
  rig.processes.runTimeMs = [](const std::string&) { return 4000; };
  rig.run();

  ASSERT_EQ(rig.hooks.steps.size(), 3u);
  EXPECT_EQ(rig.hooks.steps[0].what, "stop polling");
  EXPECT_EQ(rig.hooks.steps[1].what, "event 25 bits 22,25 01");
  EXPECT_EQ(rig.hooks.steps[2].what, "event 125 bits 22,25 00");
  EXPECT_EQ(loadField(rig.record->alarmFlags), 1u << 1) << "only bits 22 and 25 change";

  const auto starts = rig.processes.starts();
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].commandLine, "\"/opt/orvik dir/winsweep\"");
  EXPECT_TRUE(starts[0].show);
  EXPECT_EQ(rig.sent(), (std::vector<Sent>{{kLoopback, 8830, 35120, 0},
                                           {0x0A000005, 8830, 35136, 0},
                                           {0x0A000006, 8830, 35136, 0},
                                           {kLoopback, 8828, 387, 540},
                                           {kLoopback, 8828, 386, 60}}));
  // The closer's 4 s, then the whole systemDelay, then the 5 s pause.
  EXPECT_NEAR(rig.completedAt() - rig.hooks.timeOf("event 25"), 4000 + 30000, 20);
  EXPECT_EQ(rig.powerOffAt() - rig.completedAt(), 5000);
}

TEST(ShutdownSequence, GraceIsTheCloserThenTheWholeSystemDelayAndNothingHoldsItLonger) {
  const struct {
    const char* name;
    int32_t autoSave;
    int16_t systemDelay;
    int64_t closerRunsMs;
    int64_t graceMs;  // from event 25 to event 125
    std::size_t starts;
  } cases[] = {
      {"no closer, still the whole delay", 0, 30, 0, 30000, 0},
      {"closer that ends at once", 1, 30, 0, 30010, 1},
      {"closer that takes 4 s", 1, 30, 4000, 34000, 1},
      {"closer that never ends", 1, 30, FakeProcessStarter::kRunsForever, 60000, 1},
      {"closer missing", 1, 30, FakeProcessStarter::kCannotStart, 30000, 1},
      {"delay 0", 1, 0, FakeProcessStarter::kRunsForever, 10, 1},
      {"delay 0, no closer", 0, 0, 0, 0, 0},
      {"negative delay, no endless wait", 1, -5, FakeProcessStarter::kRunsForever, 10, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    storeField(rig.record->autoSave, c.autoSave);
    storeField(rig.record->systemDelay, c.systemDelay);
    rig.processes.runTimeMs = [&c](const std::string&) { return c.closerRunsMs; };
    rig.run();
    EXPECT_EQ(rig.processes.starts().size(), c.starts);
    EXPECT_EQ(rig.completedAt() - rig.hooks.timeOf("event 25"), c.graceMs);
    EXPECT_EQ(rig.powerOffAt() - rig.completedAt(), 5000) << "the pause remains";
    EXPECT_EQ(rig.sent(kControlPort), (std::vector<Sent>{{kLoopback, 8828, 386, 60}}));
  }
}

TEST(ShutdownSequence, BusyTasksAreWaitedForWithinBoundsAndAskedUntilSeenIdleOnce) {
  // Workers 1 to 3 never idle; the execute worker idle once, at 2 s, then
  // busy again; the poll task idle only 3 s after the UPS commands.
  Rig rig;
  int64_t commandsAt = INT64_MAX;
  rig.hooks.onEvent = [&](int kind, int) {
    if (kind == 2) commandsAt = rig.clock.monotonicMs();
  };
  rig.hooks.idle = [&](int task) {
    const int64_t now = rig.clock.monotonicMs();
    switch (task) {
      case 0:
        return now >= commandsAt + 8000;
      case 1:
        return true;
      case 5:
        return now >= 2000 && now < 2010;
      default:
        return false;
    }
  };
  rig.run();
  EXPECT_EQ(rig.completedAt() - rig.hooks.timeOf("event 25"), 30000);
  EXPECT_EQ(rig.hooks.asks[1], 1) << "a task seen idle is not asked again";
  EXPECT_EQ(rig.hooks.asks[5], 201) << "asked every 10 ms until seen idle at 2 s";
  EXPECT_EQ(rig.powerOffAt() - rig.completedAt(), 5000 + 5000) << "step 12 ends after 5 s";

  // All but the poll task idle at once: the last look waits for it alone.
  Rig late;
  late.hooks.onEvent = [&](int kind, int) {
    if (kind == 2) commandsAt = late.clock.monotonicMs();
  };
  late.hooks.idle = [&](int task) {
    return task != 0 || late.clock.monotonicMs() >= commandsAt + 8000;
  };
  late.run();
  EXPECT_EQ(late.powerOffAt() - late.completedAt(), 8000);
}

TEST(ShutdownSequence, UpsIsToldWhenToComeBackFromTheEarliestKnownRestartTime) {
  const struct {
    const char* name;
    int64_t powerOnIn;  // seconds to the next "Turn on ups" entry
    int32_t reboot;
    int16_t startup;
    int16_t upsDelay;
    std::vector<Sent> commands;
  } cases[] = {
      {"nothing known: no restore time", kNoSchedule, -2, -1, 60, {{kLoopback, 8828, 386, 60}}},
      {"restart within the delay still restarts",
       kNoSchedule,
       40,
       -2,
       60,
       {{kLoopback, 8828, 387, 1}, {kLoopback, 8828, 386, 60}}},
      {"least of the three",
       3600,
       900,
       600,
       60,
       {{kLoopback, 8828, 387, 540}, {kLoopback, 8828, 386, 60}}},
      {"schedule first",
       120,
       900,
       600,
       60,
       {{kLoopback, 8828, 387, 60}, {kLoopback, 8828, 386, 60}}},
      {"restart at once is no restore time", kNoSchedule, 0, 600, 60, {{kLoopback, 8828, 386, 60}}},
      {"schedule a year ahead",
       366 * 86400,
       -2,
       -2,
       0,
       {{kLoopback, 8828, 387, 366 * 86400}, {kLoopback, 8828, 386, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    storeField(rig.record->systemDelay, 0);
    rig.hooks.powerOnInSeconds = c.powerOnIn;
    storeField(rig.record->rebootWithDuration.value, c.reboot);
    storeField(rig.record->startupAfterDelay.value, c.startup);
    storeField(rig.record->upsDelay, c.upsDelay);
    rig.run();
    EXPECT_EQ(rig.sent(kControlPort), c.commands);
  }
}

TEST(ShutdownSequence, ShutDependNamesWhoIsToldToShutDownToo) {
  const Sent local{kLoopback, 8830, 35120, 0};
  const struct {
    const char* shutDepend;
    std::vector<Sent> notices;
  } cases[] = {
      {"", {local}},
      {"broadcast", {local, {kBroadcastAddress, 8830, 35136, 0}}},
      {"BroadCast", {local, {kBroadcastAddress, 8830, 35136, 0}}},
      {"10.0.0.7", {local, {0x0A000007, 8830, 35136, 0}}},
      {" 10.0.0.7 ;; ;localhost;",
       {local, {0x0A000007, 8830, 35136, 0}, {kLoopback, 8830, 35136, 0}}},
      {"no-such-host;10.0.0.8", {local, {0x0A000008, 8830, 35136, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shutDepend);
    Rig rig;
    storeField(rig.record->systemDelay, 0);
    setText(rig.record->shutDepend, c.shutDepend);
    rig.run();
    EXPECT_EQ(rig.sent(kNotifyPort), c.notices);
    EXPECT_EQ(rig.power.powerOffs().size(), 1u) << "unreachable hosts do not stop the sequence";
  }
}

TEST(ShutdownSequence, EventsOf22And25KeepTheirActionsWhileTheSequenceWaits) {
  // The real queues and broadcast worker beside the sequence: event 25's
  // notice, due at once, goes out during the grace; the power failure's
  // does not.
  Rig rig;
  MessageCatalogue catalogue;
  ActionQueues queues(*rig.record, rig.clock);
  class NoMessenger final : public MessengerNotices {
    int sendMessengerNotice(const char*, const char*) override { return 1; }
  } messenger;
  BroadcastAction broadcast(*rig.record, rig.clock, catalogue, rig.sender, messenger, queues);
  NotYetBuiltAction others;
  ActionWorkers workers(queues, *rig.record, rig.sender,
                        {&broadcast, &others, &others, &others, &others});
  for (int event : {1, 25}) {
    EventAction& entry = *eventActionForEvent(*rig.record, event);
    storeField(entry.bnmEnable, 1);
    setText(entry.bnmUsers, "10.0.0.9");
  }
  queues.enqueueAction(ActionQueues::kBroadcast, *eventActionForEvent(*rig.record, 1), 1, 0);
  rig.hooks.onEvent = [&](int kind, int bit) {
    if (kind == 1)
      queues.enqueueAction(ActionQueues::kBroadcast, *eventActionForEvent(*rig.record, bit), bit,
                           rig.clock.monotonicMs());
  };
  int64_t noticeAt = -1;
  rig.hooks.idle = [&](int task) {
    if (task == 2) workers.workerStep(ActionQueues::kBroadcast);
    if (noticeAt < 0 && !rig.sent(kNotifyPort).empty() &&
        rig.sent(kNotifyPort).back().command == kNoticeCommand) {
      noticeAt = rig.clock.monotonicMs();
    }
    return task == 2 ? queues.queueIdle(ActionQueues::kBroadcast) : true;
  };
  rig.run();
  std::vector<int32_t> notices;
  for (const Sent& s : rig.sent(kNotifyPort)) {
    if (s.command == kNoticeCommand) notices.push_back(s.argument);
  }
  EXPECT_EQ(notices, std::vector<int32_t>{25});
  EXPECT_GE(noticeAt, rig.hooks.timeOf("event 25"));
  EXPECT_LT(noticeAt, rig.completedAt());
}

}  // namespace
}  // namespace orvik
