// The service's main window on Windows: a dialog titled "Power Device
// Service" that shows the splash picture, hides itself within two seconds
// and from then on lives as the owner of the notification-area icon and its
// menu, the place where the service starts (its initialisation) and stops
// (WM_CLOSE), and the target of the control channel's stop command.
#pragma once

#include "platform/platform.h"
#include "service/core/service.h"

namespace orvik {

// Resources of upskeeper.rc.
inline constexpr int kMainDialog = 102;
inline constexpr int kProgramIcon = 128;
inline constexpr int kTrayMenu = 132;
inline constexpr int kSplashBitmap = 135;
inline constexpr int kSplashControl = 1000;

// Runs the window on the calling thread until it closes: 0 after an orderly
// stop, 1 when the service did not start. *stopped tells whether every task
// ended in the stop (see Service::serviceStop).
int runMainWindow(Service& service, Platform platform, bool* stopped);

}  // namespace orvik
