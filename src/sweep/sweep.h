// One sweep over the desktop: every ordinary application window is asked to
// close, and the prompts the applications put up (typically "save changes?")
// are answered from the keyboard, so that the shutdown which follows is not
// held up. The service's own window and its sibling, consoles, shells and
// the desktop are left alone. Runs on the program's only thread.
#pragma once

#include "sweep/window_system.h"

namespace winsweep {

// Sizes the sweep works with: dialogs it can remember, prompts it answers
// per application, and the text it reads of a title or class (79 bytes).
inline constexpr int kSeenCapacity = 201;
inline constexpr int kPromptLimit = 12;
inline constexpr std::size_t kTextSize = 80;

// Closes what can be closed and returns; applications that refuse are left.
void runSweep(WindowSystem& windows);

// Window classes that are never sent the close command (case-insensitive):
// consoles, terminals, shells, the desktop and its panels.
bool isNeverClosedClass(const char* className);

}  // namespace winsweep
