// runProgram: starts a command line and waits, at most a given time, for it
// to end, looking every 10 ms. The program is never ended by the service;
// whatever it does, the caller is held no longer than the wait.
//
// Threads: any; it blocks its caller for the wait.
#pragma once

#include <cstdint>

#include "platform/clock.h"
#include "platform/processes.h"

namespace orvik {

inline constexpr int64_t kWaitForEnd = -1;
inline constexpr int64_t kProgramPollMs = 10;

// The new process's identifier, or 0 when it could not be started (then at
// once, without waiting). waitMs kWaitForEnd waits until the program ends;
// 0 and other values below it look once, after 10 ms. show asks for a
// visible window where there is a desktop.
int32_t runProgram(ProcessStarter& starter, Clock& clock, const char* commandLine, int show,
                   int64_t waitMs);

}  // namespace orvik
