#include "platform/message_loop.h"

namespace orvik {

void QueuedMessageLoop::post(WindowMessage message) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(message);
  }
  ready_.notify_one();
}

WindowMessage QueuedMessageLoop::wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  ready_.wait(lock, [this] { return !queue_.empty(); });
  const WindowMessage message = queue_.front();
  queue_.pop_front();
  return message;
}

std::size_t QueuedMessageLoop::pending() {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

}  // namespace orvik
