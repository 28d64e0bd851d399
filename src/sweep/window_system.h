// The window layer the sweep talks to: the desktop's top-level windows, their
// state, and the few messages the sweep sends them. Backends: Win32
// (window_system_win32.cc), X11 (window_system_posix.cc) and a scripted fake
// for tests (fake_window_system.h). Single-threaded, like the whole program.
//
// A window is named by an opaque number; 0 is "no window". A number may stop
// naming a window at any moment (the application closed it): every query on
// such a number answers false or empty, never fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace winsweep {

using WindowId = std::uint64_t;

// Virtual keys and key data of the keyboard messages the sweep sends.
inline constexpr unsigned kKeyY = 0x59;
inline constexpr unsigned kKeyEnter = 0x0D;
inline constexpr std::uint32_t kKeyDataYDown = 0x08150001;
inline constexpr std::uint32_t kKeyDataEnterDown = 0x081C0001;
inline constexpr std::uint32_t kKeyDataEnterUp = 0xC81C0001;

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // The program's own (hidden) window.
  virtual WindowId ownWindow() = 0;
  // All top-level windows, topmost first.
  virtual std::vector<WindowId> topLevelWindows() = 0;
  // The first top-level window with this title, or with this class; 0 when
  // there is none.
  virtual WindowId findByTitle(const char* title) = 0;
  virtual WindowId findByClass(const char* className) = 0;

  virtual bool exists(WindowId w) = 0;
  // Shown (a minimised window counts as shown) and taking input.
  virtual bool isVisible(WindowId w) = 0;
  virtual bool isEnabled(WindowId w) = 0;
  // A pop-up: a dialog or other window that belongs to another one.
  virtual bool isPopup(WindowId w) = 0;
  // Part of the desktop itself (desktop background, panels, docks) rather
  // than an application window.
  virtual bool isDesktopPart(WindowId w) = 0;
  // w is owned by, or a child of, owner (directly or further down).
  virtual bool belongsTo(WindowId w, WindowId owner) = 0;
  // Class and title, cut to size - 1 bytes and always terminated.
  virtual void className(WindowId w, char* out, std::size_t size) = 0;
  virtual void title(WindowId w, char* out, std::size_t size) = 0;
  // The first child window (at any depth) of this class, or 0.
  virtual WindowId findChild(WindowId w, const char* className) = 0;

  // Posts the message registered under name; false when it cannot be had.
  virtual bool postRegisteredMessage(WindowId w, const char* name, std::uintptr_t wParam,
                                     std::intptr_t lParam) = 0;
  // The plain close message, and the close command of the window menu.
  virtual void postClose(WindowId w) = 0;
  virtual void postCloseCommand(WindowId w) = 0;
  virtual void postKeyDown(WindowId w, unsigned key, std::uint32_t keyData) = 0;
  virtual void postKeyUp(WindowId w, unsigned key, std::uint32_t keyData) = 0;
  virtual void setForeground(WindowId w) = 0;
  virtual void activate(WindowId w) = 0;

  // Milliseconds since the program started.
  virtual std::int64_t milliseconds() = 0;
  // Lets ms milliseconds pass without handling the program's own messages.
  virtual void wait(std::int64_t ms) = 0;
};

}  // namespace winsweep
