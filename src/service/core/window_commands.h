// What the main window does for its menu commands and the end of a
// session, apart from the window system that delivers them.
//
// Threads: the window thread.
#pragma once

#include <functional>
#include <string>

#include "platform/power_control.h"
#include "platform/processes.h"

namespace orvik {

inline constexpr int kStopCommand = 32772;     // menu text: catalogue 201
inline constexpr int kConsoleCommand = 32773;  // menu text: catalogue 202; the default item
inline constexpr int kStopQuestion = 200;      // "really stop?" box text
inline constexpr char kServiceName[] = "upskeeper";
inline constexpr char kConsoleProgram[] = "upsconsole";

// The stop command once the user said Yes: on the NT family the service
// control manager is asked to stop the service; when it will not, or on the
// 9x family, closeWindow() stops it directly.
void stopConfirmed(int osClass, PowerControl& power, const std::function<void()>& closeWindow);

// Starts upsconsole from the service's folder, shown, without waiting for
// it; a program that cannot start is not reported.
void startConsole(ProcessStarter& processes, const std::string& programDirectory);

// Whether the end of the user's session closes the service: only on the 9x
// family, where the service belongs to the session. The session may always end.
bool sessionEndClosesService(int osClass);

}  // namespace orvik
