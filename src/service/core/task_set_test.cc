#include "service/core/task_set.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/fake_clock.h"
#include "platform/native_backends.h"

namespace orvik {
namespace {

TEST(PeriodicTask, StopWithoutDrainEndsTheLoopBeforeAnotherStep) {
  FakeClock clock;
  PeriodicTask task;
  int steps = 0;
  initialiseTask(task, [&] { ++steps; }, 100);
  requestStop(task);
  runTaskLoop(task, clock);
  EXPECT_EQ(steps, 0);
  EXPECT_EQ(task.finished, 1);
}

TEST(PeriodicTask, DrainingTaskKeepsServingItsQueueUntilIdle) {
  FakeClock clock;
  PeriodicTask task;
  int queued = 5;
  initialiseTask(task, [&] { --queued; }, 100, [&] { return queued == 0 ? 1 : 0; });
  requestDrain(task);
  requestStop(task);
  runTaskLoop(task, clock);
  EXPECT_EQ(queued, 0);
  EXPECT_EQ(clock.monotonicMs(), 400);  // four pauses between the five steps
}

TEST(PeriodicTask, BusyTaskIsNeverIdleAndIsNotSteppedAgain) {
  PeriodicTask task;
  int steps = 0;
  initialiseTask(task, [&] {
    ++steps;
    EXPECT_FALSE(isTaskIdle(task));
    runStepOnce(task);  // re-entry does nothing
  }, 100);
  EXPECT_TRUE(isTaskIdle(task));
  runStepOnce(task);
  EXPECT_EQ(steps, 1);
  EXPECT_TRUE(isTaskIdle(task));
}

TEST(PeriodicTask, IdleTaskPausesUntilWokenThenRunsAtOnce) {
  FakeClock clock;
  PeriodicTask task;
  int steps = 0;
  initialiseTask(task, [&] {
    if (++steps == 2) requestStop(task);
  }, 100, [] { return 1; });
  task.idleWaitMs = 10000;
  runTaskLoop(task, clock);
  EXPECT_EQ(steps, 2);
  EXPECT_EQ(clock.monotonicMs(), 10000);  // one whole idle pause between the passes

  int queued = 0;
  initialiseTask(task, [&] {
    ++steps;
    if (queued > 0) {
      --queued;
    } else if (steps > 10) {
      requestStop(task);
    }
  }, 100, [&] { return queued == 0 ? 1 : 0; });
  task.idleWaitMs = 10000;
  steps = 0;
  queued = 2;
  wakeTask(task);  // work arrived before the loop: no idle pause is waited out
  const int64_t start = clock.monotonicMs();
  runTaskLoop(task, clock);
  // One interval after the first busy pass; the early wake cuts the first idle
  // pause short, the stop the last one, and eight whole pauses lie between.
  EXPECT_EQ(clock.monotonicMs() - start, 100 + 8 * 10000);
}

TEST(TaskSet, TaskThatNeverGoesIdleHoldsTheStopNoLongerThanThirtySeconds) {
  // The tasks sleep on a clock of their own, so only the stopper moves this one.
  FakeClock stopClock;
  FakeClock taskClock;
  TaskSet tasks;
  std::atomic<bool> release{false};
  for (int id = 0; id < kTaskCount; ++id) initialiseTask(tasks[id], [] {}, 100);
  // The execute worker's queue never empties.
  initialiseTask(tasks[kExecuteWorker], [] {}, 100, [&] { return release ? 1 : 0; });
  tasks.start(taskClock);
  EXPECT_FALSE(tasks.stopAll(stopClock));
  EXPECT_EQ(stopClock.monotonicMs(), kStopWaitMs);
  EXPECT_EQ(tasks[kExecuteWorker].finished, 0);
  // Let the left-behind threads end before the task set goes away.
  release = true;
  for (int id = 0; id < kTaskCount; ++id) {
    while (tasks[id].finished == 0) std::this_thread::yield();
  }
}

TEST(TaskSet, StopReturnsOnceEveryTaskIsIdleAndItsThreadHasEnded) {
  // Real time here: a fake clock cannot tell how long real threads take.
  Clock& clock = nativeClock();
  TaskSet tasks;
  std::atomic<int> queued{20};
  for (int id = 0; id < kTaskCount; ++id) initialiseTask(tasks[id], [] {}, 1);
  initialiseTask(tasks[kMailWorker], [&] { if (queued > 0) --queued; }, 1,
                 [&] { return queued == 0 ? 1 : 0; });
  tasks.start(clock);
  EXPECT_TRUE(tasks.stopAll(clock));
  EXPECT_EQ(queued, 0);  // the drain served every item
  for (int id = 0; id < kTaskCount; ++id) EXPECT_EQ(tasks[id].finished, 1) << id;
}

TEST(TaskSet, WaitIdleAsksOnlyTheFirstTasksNamed) {
  FakeClock clock;
  TaskSet tasks;
  for (int id = 0; id < kTaskCount; ++id) initialiseTask(tasks[id], [] {}, 100);
  // The shutdown worker waits for the other six while it is itself busy.
  tasks[kShutdownWorker].busy = 1;
  EXPECT_TRUE(tasks.waitIdle(clock, kShutdownWorker, kStopWaitMs));
  EXPECT_EQ(clock.monotonicMs(), 0);
  EXPECT_FALSE(tasks.waitIdle(clock, kTaskCount, 1000));
  EXPECT_EQ(clock.monotonicMs(), 1000);
}

}  // namespace
}  // namespace orvik
