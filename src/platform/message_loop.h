// The main window's message queue. The main thread waits for messages; any
// thread may post one. On POSIX, SIGTERM and SIGINT post kClose.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

namespace orvik {

enum class WindowMessage { kClose, kTimer };

class MessageLoop {
 public:
  virtual ~MessageLoop() = default;
  virtual void post(WindowMessage message) = 0;
  // Blocks until a message is there and returns it.
  virtual WindowMessage wait() = 0;
};

// A loop that is a plain queue: the POSIX one, the fake, and on Windows the
// queue of a program without a window.
class QueuedMessageLoop : public MessageLoop {
 public:
  void post(WindowMessage message) override;
  WindowMessage wait() override;
  std::size_t pending();

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<WindowMessage> queue_;
};

}  // namespace orvik
