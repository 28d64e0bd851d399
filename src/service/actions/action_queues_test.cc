#include "service/actions/action_queues.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "platform/fake_clock.h"
#include "platform/fake_sockets.h"
#include "service/actions/action_workers.h"
#include "shared/control_datagram.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

// Remembers what each queue's action was given; can look at the queues
// while it runs.
class RecordingAction final : public QueueAction {
 public:
  explicit RecordingAction(std::vector<int>& log) : log_(log) {}
  void runAction(EventAction&, const ActionItem& item) override {
    log_.push_back(item.eventNumber);
    if (during) during();
  }
  std::function<void()> during;

 private:
  std::vector<int>& log_;
};

class ActionQueuesTest : public ::testing::Test {
 protected:
  StatusRecord& record() { return *record_; }
  EventAction& entry(int event) { return *eventActionForEvent(record(), event); }
  void enableAll(int event) {
    EventAction& e = entry(event);
    storeField(e.bnmEnable, 1);
    storeField(e.mailEnable, 1);
    storeField(e.pageEnable, 1);
    storeField(e.executeEnable, 1);
    storeField(e.shutEnable, 1);
  }
  void setBit(int bit, bool on = true) { setFlagBit(record().alarmFlags, bit, on); }
  void enqueue(int queue, int event, int64_t delayMs) {
    queues_.enqueueAction(queue, entry(event), event, clock_.monotonicMs() + delayMs);
  }
  // Every cycle of the queue's worker until it has nothing left.
  std::vector<int> runWorker(int queue, int cycles = 20) {
    for (int i = 0; i < cycles; ++i) workers_.workerStep(queue);
    return log_[queue];
  }

  std::unique_ptr<StatusRecord> record_ = std::make_unique<StatusRecord>();
  FakeClock clock_;
  FakeSockets sockets_;
  DatagramSender sender_{sockets_, [](const char*) {}};
  ActionQueues queues_{*record_, clock_};
  std::vector<int> log_[ActionQueues::kCount];
  RecordingAction actions_[ActionQueues::kCount] = {
      RecordingAction(log_[0]), RecordingAction(log_[1]), RecordingAction(log_[2]),
      RecordingAction(log_[3]), RecordingAction(log_[4])};
  ActionWorkers workers_{queues_,
                         *record_,
                         sender_,
                         {&actions_[0], &actions_[1], &actions_[2], &actions_[3], &actions_[4]}};
};

TEST_F(ActionQueuesTest, ZeroAndNegativeDelaysRunInTheNextCyclesOnePerCycle) {
  enableAll(1);
  setBit(1);
  clock_.advanceMs(50'000);
  enqueue(ActionQueues::kBroadcast, 1, 0);
  enqueue(ActionQueues::kBroadcast, 1, -5000);
  workers_.workerStep(ActionQueues::kBroadcast);
  EXPECT_EQ(log_[0].size(), 1u) << "one item per cycle";
  workers_.workerStep(ActionQueues::kBroadcast);
  EXPECT_EQ(log_[0].size(), 2u);
  EXPECT_TRUE(queues_.queueIdle(ActionQueues::kBroadcast));
}

TEST_F(ActionQueuesTest, RecoveryBeforeTheDelayRemovesTheOccurrenceFromAllFiveQueues) {
  enableAll(1);  // event 101 enables nothing, and still cancels
  setBit(1);
  for (int q = 0; q < ActionQueues::kCount; ++q) enqueue(q, 1, 10'000);
  for (int q = 0; q < ActionQueues::kCount; ++q) EXPECT_FALSE(queues_.queueIdle(q));
  clock_.advanceMs(3000);
  setBit(1, false);
  for (int q = 0; q < ActionQueues::kCount; ++q) enqueue(q, 101, 0);
  for (int q = 0; q < ActionQueues::kCount; ++q) {
    EXPECT_TRUE(queues_.queueIdle(q)) << "queue " << q;
  }
  clock_.advanceMs(10'000);
  for (int q = 0; q < ActionQueues::kCount; ++q) EXPECT_TRUE(runWorker(q).empty());
}

TEST_F(ActionQueuesTest, ConditionGoneWhenDueDropsTheItemWithoutARecovery) {
  enableAll(1);
  enableAll(101);
  setBit(1);
  enqueue(ActionQueues::kMail, 1, 10'000);
  enqueue(ActionQueues::kMail, 101, 10'000);  // recovery queued while bit 1 still stands
  clock_.advanceMs(5000);
  setBit(1, false);
  clock_.advanceMs(5000);
  // 101 removed the pending 1; 101 itself holds since the bit is clear.
  EXPECT_EQ(runWorker(ActionQueues::kMail), std::vector<int>{101});

  enqueue(ActionQueues::kMail, 1, 1000);
  clock_.advanceMs(1000);
  EXPECT_EQ(runWorker(ActionQueues::kMail), std::vector<int>{101}) << "bit 1 is clear";
  EXPECT_TRUE(queues_.queueIdle(ActionQueues::kMail));
}

TEST_F(ActionQueuesTest, ShutdownModeRunsOnlyEvents22And25AndStartedShutdownEmptiesQueues) {
  for (const int event : {1, 22, 25, 102}) enableAll(event);
  setBit(1);
  setBit(22);
  for (const int event : {1, 22, 25}) enqueue(ActionQueues::kPage, event, 0);
  enqueue(ActionQueues::kMail, 102, 0);  // would hold: bit 2 is clear
  EXPECT_EQ(runWorker(ActionQueues::kPage), (std::vector<int>{22, 25}));
  EXPECT_TRUE(runWorker(ActionQueues::kMail).empty());

  setBit(22, false);
  setBit(25);
  record().outlets[0].outletShutdownDelay = 30;
  enqueue(ActionQueues::kExecute, 1, 60'000);
  enqueue(ActionQueues::kExecute, 25, 60'000);
  enqueue(ActionQueues::kExecute, 102, 60'000);
  queues_.scheduleOutletSwitchOff(0);
  workers_.workerStep(ActionQueues::kExecute);
  // Nothing is due yet, yet everything but event 25 is gone, outlet steps too.
  EXPECT_TRUE(log_[ActionQueues::kExecute].empty());
  EXPECT_TRUE(sockets_.sent().empty());
  EXPECT_FALSE(queues_.queueIdle(ActionQueues::kExecute));
  clock_.advanceMs(60'000);
  EXPECT_EQ(runWorker(ActionQueues::kExecute), std::vector<int>{25});
  EXPECT_TRUE(sockets_.sent().empty());
}

TEST_F(ActionQueuesTest, EqualDueTimesRunInQueueOrderAndDuplicatesAreKept) {
  for (const int bit : {0, 2, 4, 5, 7}) {
    enableAll(bit);
    setBit(bit);
  }
  enqueue(ActionQueues::kShutdown, 0, 5000);
  enqueue(ActionQueues::kShutdown, 2, 5000);
  enqueue(ActionQueues::kShutdown, 7, 9000);
  enqueue(ActionQueues::kShutdown, 4, 5000);
  enqueue(ActionQueues::kShutdown, 5, 1000);
  enqueue(ActionQueues::kShutdown, 2, 5000);
  clock_.advanceMs(4999);
  EXPECT_EQ(runWorker(ActionQueues::kShutdown), std::vector<int>{5});
  clock_.advanceMs(1);
  EXPECT_EQ(runWorker(ActionQueues::kShutdown), (std::vector<int>{5, 0, 2, 4, 2}));
  clock_.advanceMs(4000);
  EXPECT_EQ(runWorker(ActionQueues::kShutdown), (std::vector<int>{5, 0, 2, 4, 2, 7}));
}

TEST_F(ActionQueuesTest, QueueIsNotIdleWhileItsWorkerIsInsideAnAction) {
  enableAll(1);
  setBit(1);
  bool idleDuringAction = true;
  actions_[ActionQueues::kExecute].during = [&] {
    idleDuringAction = queues_.queueIdle(ActionQueues::kExecute);
  };
  enqueue(ActionQueues::kExecute, 1, 0);
  workers_.workerStep(ActionQueues::kExecute);
  ASSERT_EQ(log_[ActionQueues::kExecute], std::vector<int>{1});
  EXPECT_FALSE(idleDuringAction);
  EXPECT_TRUE(queues_.queueIdle(ActionQueues::kExecute));
}

TEST_F(ActionQueuesTest, ItemsThatAreNotEventsAreDroppedWithoutAction) {
  setBit(1);
  EventAction& e = entry(1);
  storeField(e.bnmEnable, 1);
  for (const int number : {28, 99, 128, 1001, -1}) {
    queues_.enqueueAction(ActionQueues::kBroadcast, e, number, 0);
  }
  EXPECT_TRUE(runWorker(ActionQueues::kBroadcast).empty());
  EXPECT_TRUE(queues_.queueIdle(ActionQueues::kBroadcast));
}

// Producers on several threads and the worker on its own: every item is
// taken exactly once.
TEST_F(ActionQueuesTest, ConcurrentProducersLoseNoItem) {
  enableAll(1);
  setBit(1);
  constexpr int kThreads = 4;
  constexpr int kEach = 250;
  std::vector<std::thread> producers;
  for (int t = 0; t < kThreads; ++t) {
    producers.emplace_back([this] {
      for (int i = 0; i < kEach; ++i)
        queues_.enqueueAction(ActionQueues::kBroadcast, entry(1), 1, 0);
    });
  }
  std::atomic<bool> done{false};
  // Bounded, so a broken list fails the test instead of hanging it.
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::thread worker([&] {
    while ((!done || !queues_.queueIdle(ActionQueues::kBroadcast)) &&
           std::chrono::steady_clock::now() < giveUp) {
      workers_.workerStep(ActionQueues::kBroadcast);
    }
  });
  for (std::thread& producer : producers) producer.join();
  done = true;
  worker.join();
  EXPECT_EQ(log_[ActionQueues::kBroadcast].size(), static_cast<size_t>(kThreads * kEach));
}

class OutletSwitchOffTest : public ActionQueuesTest {
 protected:
  struct Datagram {
    uint32_t address;
    uint16_t port;
    uint32_t command;
    int32_t argument;
  };
  std::vector<Datagram> sent() {
    std::vector<Datagram> out;
    for (const FakeSockets::Sent& s : sockets_.sent()) {
      ControlDatagram d;
      EXPECT_EQ(decodeControlDatagram(s.bytes.data(), s.bytes.size(), &d), 0);
      EXPECT_EQ(d.length, 0u);
      out.push_back({s.to.address, s.to.port, d.command, d.argument});
    }
    return out;
  }
};

TEST_F(OutletSwitchOffTest, DelayZeroSendsTheHostNoticesBeforeTheOutletCommand) {
  sockets_.addHost("fileserver", 0x0A000002);
  setText(record().outlets[2].outletShutdownDepend, " fileserver ; ;10.0.0.3;nowhere");
  queues_.scheduleOutletSwitchOff(2);
  runWorker(ActionQueues::kExecute, 3);
  const std::vector<Datagram> out = sent();
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0].address, 0x0A000002u);
  EXPECT_EQ(out[1].address, 0x0A000003u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(out[i].port, kNotifyPort);
    EXPECT_EQ(out[i].command, kRemoteShutdownCommand);
    EXPECT_EQ(out[i].argument, 0);
  }
  EXPECT_EQ(out[2].address, kLoopbackIpv4);
  EXPECT_EQ(out[2].port, kControlPort);
  EXPECT_EQ(out[2].command, outletCommand);
  EXPECT_EQ(out[2].argument, 0x20002);
  EXPECT_TRUE(log_[ActionQueues::kExecute].empty()) << "outlet steps are not actions";
}

TEST_F(OutletSwitchOffTest, SwitchWaitsForTheDelayAndBadOutletsQueueNothing) {
  record().outlets[7].outletShutdownDelay = 30;
  record().outlets[1].outletShutdownDelay = -5;  // as 0: the notices still go first
  setText(record().outlets[1].outletShutdownDepend, "10.0.0.4;");
  queues_.scheduleOutletSwitchOff(7);
  runWorker(ActionQueues::kExecute, 5);
  EXPECT_TRUE(sent().empty()) << "no dependent hosts";
  clock_.advanceMs(29'999);
  runWorker(ActionQueues::kExecute, 5);
  EXPECT_TRUE(sent().empty());
  clock_.advanceMs(1);
  runWorker(ActionQueues::kExecute, 1);
  ASSERT_EQ(sent().size(), 1u);
  EXPECT_EQ(sent()[0].argument, 0x20007);

  queues_.scheduleOutletSwitchOff(1);
  runWorker(ActionQueues::kExecute, 2);
  ASSERT_EQ(sent().size(), 3u);
  EXPECT_EQ(sent()[1].command, kRemoteShutdownCommand);
  EXPECT_EQ(sent()[2].argument, 0x20001);

  for (const int outlet : {-1, 8, 32767, -32768}) queues_.scheduleOutletSwitchOff(outlet);
  EXPECT_TRUE(queues_.queueIdle(ActionQueues::kExecute));
}

}  // namespace
}  // namespace orvik
