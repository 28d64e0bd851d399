// A desktop in memory for tests of the sweep: windows with the state the
// sweep reads, a clock that moves only while the sweep waits, and a log of
// every message posted. Scripted applications react to the posts through
// onPost and act later through after().
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "sweep/window_system.h"

namespace winsweep {

struct FakeWindow {
  std::string title;
  std::string cls;
  bool visible = true;
  bool enabled = true;
  bool popup = false;
  bool desktopPart = false;
  WindowId owner = 0;   // owner of a top-level window, parent of a child
  bool child = false;   // a child window, not listed among the top-level ones
};

enum class PostKind { kRegistered, kClose, kCloseCommand, kKeyDown, kKeyUp, kForeground, kActivate };

struct Post {
  std::int64_t at;
  PostKind kind;
  WindowId to;
  unsigned key = 0;
  std::uint64_t data = 0;  // key data, or the registered message's wParam
};

class FakeWindowSystem final : public WindowSystem {
 public:
  FakeWindowSystem();

  // A new top-level window opens on top of the others.
  WindowId open(FakeWindow window);
  // The window goes, with its children and the windows it owns.
  void destroy(WindowId w);
  FakeWindow& window(WindowId w) { return windows_.at(w); }
  // Runs fn once the clock has moved ms further (while the sweep waits).
  void after(std::int64_t ms, std::function<void()> fn);

  std::function<void(const Post&)> onPost;
  std::vector<Post> posts;

  WindowId ownWindow() override { return own_; }
  std::vector<WindowId> topLevelWindows() override;
  WindowId findByTitle(const char* title) override;
  WindowId findByClass(const char* className) override;
  bool exists(WindowId w) override { return windows_.count(w) != 0; }
  bool isVisible(WindowId w) override { return exists(w) && windows_[w].visible; }
  bool isEnabled(WindowId w) override { return exists(w) && windows_[w].enabled; }
  bool isPopup(WindowId w) override { return exists(w) && windows_[w].popup; }
  bool isDesktopPart(WindowId w) override { return exists(w) && windows_[w].desktopPart; }
  bool belongsTo(WindowId w, WindowId owner) override;
  void className(WindowId w, char* out, std::size_t size) override;
  void title(WindowId w, char* out, std::size_t size) override;
  WindowId findChild(WindowId w, const char* className) override;
  bool postRegisteredMessage(WindowId w, const char* name, std::uintptr_t wParam,
                             std::intptr_t lParam) override;
  void postClose(WindowId w) override { post({now_, PostKind::kClose, w}); }
  void postCloseCommand(WindowId w) override { post({now_, PostKind::kCloseCommand, w}); }
  void postKeyDown(WindowId w, unsigned key, std::uint32_t data) override {
    post({now_, PostKind::kKeyDown, w, key, data});
  }
  void postKeyUp(WindowId w, unsigned key, std::uint32_t data) override {
    post({now_, PostKind::kKeyUp, w, key, data});
  }
  void setForeground(WindowId w) override { post({now_, PostKind::kForeground, w}); }
  void activate(WindowId w) override { post({now_, PostKind::kActivate, w}); }
  std::int64_t milliseconds() override { return now_; }
  void wait(std::int64_t ms) override;

 private:
  void post(const Post& p);

  std::map<WindowId, FakeWindow> windows_;
  std::vector<WindowId> stack_;  // top-level windows, topmost first
  WindowId next_ = 1;
  WindowId own_;
  std::int64_t now_ = 0;
  std::multimap<std::int64_t, std::function<void()>> timers_;
};

}  // namespace winsweep
