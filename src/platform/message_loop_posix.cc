#include <pthread.h>
#include <signal.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/posix_backends.h"

namespace orvik {
namespace {

class PosixMessageLoop final : public MessageLoop {
 public:
  void post(WindowMessage message) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.push_back(message);
    }
    ready_.notify_one();
  }

  WindowMessage wait() override {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [this] { return !queue_.empty(); });
    const WindowMessage message = queue_.front();
    queue_.pop_front();
    return message;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<WindowMessage> queue_;
};

}  // namespace

MessageLoop& posixMessageLoop() {
  static PosixMessageLoop loop;
  return loop;
}

// A thread that sleeps in sigwait turns the signals into ordinary messages,
// so nothing runs in signal-handler context.
void closeOnTerminationSignals(MessageLoop& loop) {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::thread([signals, &loop] {
    for (;;) {
      int received = 0;
      if (sigwait(&signals, &received) == 0) loop.post(WindowMessage::kClose);
    }
  }).detach();
}

}  // namespace orvik
