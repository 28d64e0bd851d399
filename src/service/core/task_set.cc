#include "service/core/task_set.h"

namespace orvik {

TaskSet::~TaskSet() {
  for (std::thread& thread : threads_) {
    if (thread.joinable()) thread.detach();
  }
}

void TaskSet::start(Clock& clock) {
  for (int id = 0; id < kTaskCount; ++id) {
    threads_[id] = std::thread(runTaskLoop, std::ref(tasks_[id]), std::ref(clock));
  }
}

bool TaskSet::waitIdle(Clock& clock, int count, int64_t timeoutMs) {
  std::array<bool, kTaskCount> seenIdle{};
  const int64_t start = clock.monotonicMs();
  for (;;) {
    bool all = true;
    for (int id = 0; id < count; ++id) {
      if (!seenIdle[id]) seenIdle[id] = isTaskIdle(tasks_[id]);
      all = all && seenIdle[id];
    }
    if (all) return true;
    if (clock.monotonicMs() - start >= timeoutMs) return false;
    clock.sleepMs(kStopPollMs);
  }
}

bool TaskSet::stopAll(Clock& clock) {
  for (PeriodicTask& task : tasks_) requestDrain(task);
  for (PeriodicTask& task : tasks_) requestStop(task);
  const int64_t start = clock.monotonicMs();
  waitIdle(clock, kTaskCount, kStopWaitMs);
  // A task seen idle may still be between two steps; the resources it uses
  // are released only after its thread has ended, within the same bound.
  bool allEnded = true;
  for (int id = 0; id < kTaskCount; ++id) {
    if (!threads_[id].joinable()) continue;
    while (tasks_[id].finished == 0 && clock.monotonicMs() - start < kStopWaitMs) {
      clock.sleepMs(kStopPollMs);
    }
    if (tasks_[id].finished != 0) {
      threads_[id].join();
    } else {
      allEnded = false;
    }
  }
  return allEnded;
}

}  // namespace orvik
