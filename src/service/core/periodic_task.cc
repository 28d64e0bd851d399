#include "service/core/periodic_task.h"

namespace orvik {

void initialiseTask(PeriodicTask& task, std::function<void()> step, int32_t intervalMs,
                    std::function<int()> isIdle) {
  task.stopRequested = 0;
  task.busy = 0;
  task.drainOnStop = 0;
  task.finished = 0;
  task.idleWaitMs = 0;
  task.wakeup.take();
  task.step = std::move(step);
  task.intervalMs = intervalMs;
  task.isIdle = std::move(isIdle);
}

void requestStop(PeriodicTask& task) {
  task.stopRequested = 1;
  wakeTask(task);
}

void wakeTask(PeriodicTask& task) { task.wakeup.raise(); }

void requestDrain(PeriodicTask& task) { task.drainOnStop = 1; }

bool isTaskIdle(const PeriodicTask& task) {
  if (task.busy != 0) return false;
  return !task.isIdle || task.isIdle() != 0;
}

void runStepOnce(PeriodicTask& task) {
  if (task.busy.exchange(1) != 0) return;
  if (task.step) task.step();
  task.busy = 0;
}

void runTaskLoop(PeriodicTask& task, Clock& clock) {
  for (;;) {
    if (task.stopRequested != 0) {
      if (task.drainOnStop == 0) break;
      runStepOnce(task);
      if (isTaskIdle(task)) break;
    } else {
      runStepOnce(task);
      if (task.idleWaitMs > 0 && isTaskIdle(task)) {
        clock.sleepUnlessWoken(task.wakeup, task.idleWaitMs);
        continue;
      }
    }
    clock.sleepMs(task.intervalMs);
  }
  task.finished = 1;
}

}  // namespace orvik
