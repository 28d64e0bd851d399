// The task runner on which all periodic work of the service runs. Each task
// is stepped by its own thread with a pause after every pass; a stop request
// ends the loop at once, or, when draining, only once the task reports idle.
//
// Threads: the flags are written by the stopping thread (stopRequested,
// drainOnStop) and by the task's own thread (busy, finished) and read by
// the other side; everything else is set before the thread starts.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "platform/clock.h"
#include "platform/wakeup.h"

namespace orvik {

struct PeriodicTask {
  std::atomic<int32_t> stopRequested{0};
  std::atomic<int32_t> busy{0};
  std::atomic<int32_t> drainOnStop{0};
  std::function<void()> step;
  int32_t intervalMs = 100;
  // The task's own report that it has nothing left to do; may be empty.
  std::function<int()> isIdle;
  // Set by the task's thread as it leaves its loop.
  std::atomic<int32_t> finished{0};
  // When above 0 and the task reports idle after a pass, it pauses up to this
  // long instead of intervalMs, unless woken: whoever gives it work must call
  // wakeTask. Idle workers then cost nothing between actions.
  int32_t idleWaitMs = 0;
  Wakeup wakeup;
};

// Clears the flags and stores the step, interval and idle check.
void initialiseTask(PeriodicTask& task, std::function<void()> step, int32_t intervalMs,
                    std::function<int()> isIdle = {});
// Also wakes the task, so a stop never waits out an idle pause.
void requestStop(PeriodicTask& task);
// Ends an idle pause early: the task runs its next pass at once.
void wakeTask(PeriodicTask& task);
void requestDrain(PeriodicTask& task);
// Idle when not inside a step and, where the task has an idle check, it says so.
bool isTaskIdle(const PeriodicTask& task);
// Runs the step unless it is already running.
void runStepOnce(PeriodicTask& task);
// The body of a task's thread; returns when the task has stopped.
void runTaskLoop(PeriodicTask& task, Clock& clock);

}  // namespace orvik
