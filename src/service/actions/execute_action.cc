#include "service/actions/execute_action.h"

#include <algorithm>
#include <string>

#include "service/actions/run_program.h"
#include "shared/record_access.h"

namespace orvik {

void ExecuteAction::runAction(EventAction& entry, const ActionItem& item) {
  const std::string command = readText(entry.executeCommand);
  int64_t waitMs = 0;
  if (item.eventNumber == kShutdownStartedEvent) {
    // A negative delay from the pages means no wait, never "until it ends".
    waitMs = int64_t{std::max<int16_t>(0, loadField(record_.systemDelay))} * 1000;
  }
  runProgram(processes_, clock_, command.c_str(), 1, waitMs);
}

}  // namespace orvik
