// The seven periodic tasks of the service, their threads, and the bounded
// wait for them to go idle that a stop and the shutdown sequence use.
//
// Owned by the main window's thread: start() and stopAll() run there;
// waitIdle() may also run on the shutdown worker's thread.
#pragma once

#include <array>
#include <thread>

#include "platform/clock.h"
#include "service/core/periodic_task.h"

namespace orvik {

// In the order in which they are initialised, started, drained and stopped.
enum TaskId {
  kPollTask,
  kMonitorTask,
  kBroadcastWorker,
  kMailWorker,
  kPageWorker,
  kExecuteWorker,
  kShutdownWorker,
  kTaskCount
};

inline constexpr int64_t kStopWaitMs = 30000;
inline constexpr int64_t kStopPollMs = 10;
// The longest idle pause of an action worker: a safety net only, since
// every source of work wakes the worker.
inline constexpr int32_t kIdleWaitMs = 10000;
// The monitor's pause between passes when nobody wakes it: short enough for
// its once-a-second bookkeeping. Alarm changes wake it at once, whichever
// thread makes them.
inline constexpr int32_t kMonitorIdleWaitMs = 500;

class TaskSet {
 public:
  ~TaskSet();

  PeriodicTask& operator[](int id) { return tasks_[id]; }

  // One thread per task, in order.
  void start(Clock& clock);
  // Asks the first `count` tasks, every 10 ms, whether they are idle (a task
  // once seen idle is not asked again) until all were seen idle or timeoutMs
  // passed. True when all were.
  bool waitIdle(Clock& clock, int count, int64_t timeoutMs);
  // Requests drain, then stop, of all tasks; waits for them to go idle and
  // for their threads to end, together at most kStopWaitMs. Threads still
  // running then are left behind (the process is about to end). True when
  // every thread ended.
  bool stopAll(Clock& clock);

 private:
  std::array<PeriodicTask, kTaskCount> tasks_;
  std::array<std::thread, kTaskCount> threads_;
};

}  // namespace orvik
