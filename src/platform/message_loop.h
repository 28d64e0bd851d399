// The main window's message queue. The main thread waits for messages; any
// thread may post one. On POSIX, SIGTERM and SIGINT post kClose.
#pragma once

namespace orvik {

enum class WindowMessage { kClose, kTimer };

class MessageLoop {
 public:
  virtual ~MessageLoop() = default;
  virtual void post(WindowMessage message) = 0;
  // Blocks until a message is there and returns it.
  virtual WindowMessage wait() = 0;
};

}  // namespace orvik
