// The Win32 window layer: the window manager's own calls, one to one.
#include <windows.h>

#include "sweep/text.h"
#include "sweep/window_backends.h"

namespace winsweep {

namespace {

constexpr int kMaxOwnerDepth = 64;

HWND handle(WindowId w) { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(w)); }
WindowId id(HWND h) { return reinterpret_cast<std::uintptr_t>(h); }

BOOL CALLBACK collect(HWND h, LPARAM list) {
  reinterpret_cast<std::vector<WindowId>*>(list)->push_back(id(h));
  return TRUE;
}

struct ChildSearch {
  const char* cls;
  HWND found;
};

BOOL CALLBACK matchChild(HWND h, LPARAM search) {
  auto* s = reinterpret_cast<ChildSearch*>(search);
  char cls[80];
  if (GetClassNameA(h, cls, sizeof cls) && equalsIgnoringCase(cls, s->cls)) {
    s->found = h;
    return FALSE;
  }
  return TRUE;
}

class Win32WindowSystem final : public WindowSystem {
 public:
  explicit Win32WindowSystem(HWND own) : own_(own), start_(GetTickCount()) {}

  WindowId ownWindow() override { return id(own_); }

  std::vector<WindowId> topLevelWindows() override {
    std::vector<WindowId> list;
    EnumWindows(collect, reinterpret_cast<LPARAM>(&list));
    return list;
  }

  WindowId findByTitle(const char* title) override { return id(FindWindowA(nullptr, title)); }
  WindowId findByClass(const char* cls) override { return id(FindWindowA(cls, nullptr)); }
  bool exists(WindowId w) override { return w && IsWindow(handle(w)); }
  bool isVisible(WindowId w) override { return w && IsWindowVisible(handle(w)); }
  bool isEnabled(WindowId w) override { return w && IsWindowEnabled(handle(w)); }

  bool isPopup(WindowId w) override {
    return w && (GetWindowLongPtrA(handle(w), GWL_STYLE) & WS_POPUP);
  }

  // The desktop's own windows are told apart by their classes.
  bool isDesktopPart(WindowId) override { return false; }

  bool belongsTo(WindowId w, WindowId owner) override {
    HWND h = handle(w);
    for (int depth = 0; h && depth < kMaxOwnerDepth; ++depth) {
      HWND up = GetParent(h);
      if (!up) up = GetWindow(h, GW_OWNER);
      if (up == handle(owner)) return true;
      h = up;
    }
    return false;
  }

  void className(WindowId w, char* out, std::size_t size) override {
    if (!size) return;
    out[0] = '\0';
    if (w) GetClassNameA(handle(w), out, static_cast<int>(size));
  }

  void title(WindowId w, char* out, std::size_t size) override {
    if (!size) return;
    out[0] = '\0';
    if (w) GetWindowTextA(handle(w), out, static_cast<int>(size));
  }

  WindowId findChild(WindowId w, const char* cls) override {
    ChildSearch search{cls, nullptr};
    if (w) EnumChildWindows(handle(w), matchChild, reinterpret_cast<LPARAM>(&search));
    return id(search.found);
  }

  bool postRegisteredMessage(WindowId w, const char* name, std::uintptr_t wParam,
                             std::intptr_t lParam) override {
    UINT message = RegisterWindowMessageA(name);
    if (!message) return false;
    PostMessageA(handle(w), message, wParam, lParam);
    return true;
  }

  void postClose(WindowId w) override { PostMessageA(handle(w), WM_CLOSE, 0, 0); }
  void postCloseCommand(WindowId w) override {
    PostMessageA(handle(w), WM_SYSCOMMAND, SC_CLOSE, 0);
  }
  void postKeyDown(WindowId w, unsigned key, std::uint32_t data) override {
    PostMessageA(handle(w), WM_KEYDOWN, key, static_cast<LPARAM>(data));
  }
  void postKeyUp(WindowId w, unsigned key, std::uint32_t data) override {
    PostMessageA(handle(w), WM_KEYUP, key, static_cast<LPARAM>(data));
  }
  void setForeground(WindowId w) override { SetForegroundWindow(handle(w)); }
  void activate(WindowId w) override { SetActiveWindow(handle(w)); }

  std::int64_t milliseconds() override { return static_cast<DWORD>(GetTickCount() - start_); }

  // Peeking keeps the program answering the window manager (so it is not
  // taken for hung) without handling its own messages before the sweep ends.
  void wait(std::int64_t ms) override {
    const DWORD begin = GetTickCount();
    MSG message;
    while (static_cast<std::int64_t>(GetTickCount() - begin) < ms) {
      PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
      Sleep(1);
    }
  }

 private:
  HWND own_;
  DWORD start_;
};

}  // namespace

std::unique_ptr<WindowSystem> openWin32WindowSystem(void* ownWindow) {
  return std::make_unique<Win32WindowSystem>(static_cast<HWND>(ownWindow));
}

}  // namespace winsweep
