#include <windows.h>

#include <mutex>
#include <string>

#include "platform/win32_backends.h"

namespace orvik {
namespace {

// The main window runs the real message loop; what the system posts here
// reaches it as window messages. The queue serves a program without one.
class Win32MessageLoop final : public QueuedMessageLoop {
 public:
  void setTitle(const std::string& title) {
    std::lock_guard<std::mutex> lock(mutex_);
    title_ = title;
  }

  void post(WindowMessage message) override {
    if (message == WindowMessage::kClose) {
      std::string title;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        title = title_;
      }
      HWND window = title.empty() ? nullptr : FindWindowA(nullptr, title.c_str());
      if (window != nullptr && PostMessageA(window, WM_CLOSE, 0, 0)) return;
    }
    QueuedMessageLoop::post(message);
  }

 private:
  std::mutex mutex_;  // guards title_
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
