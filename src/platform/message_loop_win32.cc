#include <windows.h>

#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/win32_backends.h"

namespace orvik {
namespace {

// The main window runs the real message loop; what the system posts here
// reaches it as window messages. The queue serves a program without one.
class Win32MessageLoop final : public MessageLoop {
 public:
  void setTitle(const std::string& title) {
    std::lock_guard<std::mutex> lock(mutex_);
    title_ = title;
  }

  void post(WindowMessage message) override {
    std::unique_lock<std::mutex> lock(mutex_);
    if (message == WindowMessage::kClose && !title_.empty()) {
      HWND window = FindWindowA(nullptr, title_.c_str());
      if (window != nullptr && PostMessageA(window, WM_CLOSE, 0, 0)) return;
    }
    queue_.push_back(message);
    lock.unlock();
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
  std::string title_;
};

Win32MessageLoop& loop() {
  static Win32MessageLoop instance;
  return instance;
}

}  // namespace

MessageLoop& win32MessageLoop() { return loop(); }

void setMainWindowTitle(const std::string& title) { loop().setTitle(title); }

}  // namespace orvik
