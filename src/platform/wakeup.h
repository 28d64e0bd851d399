// A flag one thread raises to end another thread's wait early: a task that
// has nothing to do waits on it instead of waking every 100 ms, and whoever
// gives the task work raises it. Standard-library only, so any backend and
// the fakes can use it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace orvik {

class Wakeup {
 public:
  void raise() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      raised_ = true;
    }
    changed_.notify_all();
  }

  // Waits until raised or ms have passed; clears the flag. True when raised.
  bool waitMs(long long ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return raised_; });
    return consume(lock);
  }

  // Clears the flag without waiting. True when it was raised.
  bool take() {
    std::unique_lock<std::mutex> lock(mutex_);
    return consume(lock);
  }

 private:
  bool consume(std::unique_lock<std::mutex>&) {
    const bool was = raised_;
    raised_ = false;
    return was;
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  bool raised_ = false;
};

}  // namespace orvik
