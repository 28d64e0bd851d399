#include <windows.h>

#include "platform/win32_backends.h"

namespace orvik {
namespace {

// No owner window: the start-up failure boxes come before, or without, one.
class Win32UserInterface final : public UserInterface {
 public:
  void messageBox(const char* caption, const char* text) override {
    MessageBoxA(nullptr, text, caption, MB_OK | MB_ICONEXCLAMATION);
  }
};

}  // namespace

UserInterface& win32UserInterface() {
  static Win32UserInterface ui;
  return ui;
}

}  // namespace orvik
