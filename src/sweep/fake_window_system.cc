#include "sweep/fake_window_system.h"

#include <algorithm>
#include <cstdio>

#include "sweep/text.h"

namespace winsweep {

FakeWindowSystem::FakeWindowSystem() {
  own_ = open({.title = "winsweep", .cls = "WINSWEEP", .visible = false});
}

WindowId FakeWindowSystem::open(FakeWindow window) {
  const WindowId id = next_++;
  if (!window.child) stack_.insert(stack_.begin(), id);
  windows_[id] = std::move(window);
  return id;
}

void FakeWindowSystem::destroy(WindowId w) {
  if (!windows_.erase(w)) return;
  std::erase(stack_, w);
  std::vector<WindowId> dependants;
  for (const auto& [id, window] : windows_) {
    if (window.owner == w) dependants.push_back(id);
  }
  for (WindowId id : dependants) destroy(id);
}

void FakeWindowSystem::after(std::int64_t ms, std::function<void()> fn) {
  timers_.emplace(now_ + ms, std::move(fn));
}

std::vector<WindowId> FakeWindowSystem::topLevelWindows() { return stack_; }

WindowId FakeWindowSystem::findByTitle(const char* title) {
  for (WindowId w : stack_) {
    if (windows_[w].title == title) return w;
  }
  return 0;
}

WindowId FakeWindowSystem::findByClass(const char* className) {
  for (WindowId w : stack_) {
    if (equalsIgnoringCase(windows_[w].cls.c_str(), className)) return w;
  }
  return 0;
}

bool FakeWindowSystem::belongsTo(WindowId w, WindowId owner) {
  for (int depth = 0; exists(w) && depth < 100; ++depth) {
    w = windows_[w].owner;
    if (w == owner) return true;
  }
  return false;
}

void FakeWindowSystem::className(WindowId w, char* out, std::size_t size) {
  std::snprintf(out, size, "%s", exists(w) ? windows_[w].cls.c_str() : "");
}

void FakeWindowSystem::title(WindowId w, char* out, std::size_t size) {
  std::snprintf(out, size, "%s", exists(w) ? windows_[w].title.c_str() : "");
}

WindowId FakeWindowSystem::findChild(WindowId w, const char* className) {
  for (const auto& [id, window] : windows_) {
    if (window.child && belongsTo(id, w) && equalsIgnoringCase(window.cls.c_str(), className)) {
      return id;
    }
  }
  return 0;
}

bool FakeWindowSystem::postRegisteredMessage(WindowId w, const char*, std::uintptr_t wParam,
                                             std::intptr_t lParam) {
  post({now_, PostKind::kRegistered, w, static_cast<unsigned>(lParam), wParam});
  return true;
}

void FakeWindowSystem::wait(std::int64_t ms) {
  const std::int64_t end = now_ + ms;
  while (!timers_.empty() && timers_.begin()->first <= end) {
    auto timer = timers_.extract(timers_.begin());
    now_ = timer.key();
    timer.mapped()();
  }
  now_ = end;
}

void FakeWindowSystem::post(const Post& p) {
  posts.push_back(p);
  if (onPost) onPost(p);
}

}  // namespace winsweep
