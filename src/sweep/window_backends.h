// The real window layers; each program's main() builds the one of its
// platform. OS types stay out of this header.
#pragma once

#include <memory>

#include "sweep/window_system.h"

namespace winsweep {

// X11: the display named (for example ":0"); null when it cannot be opened.
// An X server that goes away later ends the process with exit code 0: the
// sweep has nothing left to close.
std::unique_ptr<WindowSystem> openX11WindowSystem(const char* displayName);

// Win32: ownWindow is the program's HWND.
std::unique_ptr<WindowSystem> openWin32WindowSystem(void* ownWindow);

}  // namespace winsweep
