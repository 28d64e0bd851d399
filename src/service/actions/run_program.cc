#include "service/actions/run_program.h"

namespace orvik {

int32_t runProgram(ProcessStarter& starter, Clock& clock, const char* commandLine, int show,
                   int64_t waitMs) {
  const std::unique_ptr<ChildProcess> child = starter.startProcess(commandLine, show != 0);
  if (!child) return 0;
  const int64_t start = clock.monotonicMs();
  for (;;) {
    clock.sleepMs(kProgramPollMs);
    if (child->ended()) break;
    if (waitMs != kWaitForEnd && clock.monotonicMs() - start >= waitMs) break;
  }
  return child->id();
}

}  // namespace orvik
