#include "cli/record_source.h"

#include "cli/cli.h"
#include "shared/record_access.h"
#include "shared/status_snapshot.h"

namespace orvik {

std::unique_ptr<LiveRecord> LiveRecord::open(SharedMemory& memory, std::string* error,
                                             int* exitStatus) {
  using Look = SharedMemory::Look;
  Look look = Look::kAbsent;
  std::size_t found = 0;
  std::unique_ptr<SharedBlock> block =
      memory.openOwnedForReading(kRecordName, kRecordSize, &look, &found);
  *exitStatus = kExitError;
  switch (look) {
    case Look::kOpened:
      break;
    case Look::kAbsent:
    case Look::kNotOwned:
      *error = kNotRunningMessage;
      *exitStatus = kExitNotRunning;
      return nullptr;
    case Look::kWrongSize:
      *error = "the shared status record is " + std::to_string(found) + " bytes, not " +
               std::to_string(kRecordSize) + ": it is not this system's";
      return nullptr;
    case Look::kRefused:
      *error =
          "the shared status record may not be read: run orvik as root or in the "
          "service's ShareGroup";
      return nullptr;
  }
  std::unique_ptr<LiveRecord> live(new LiveRecord(std::move(block)));
  const std::string problem = recordProblem(live->record());
  if (!problem.empty()) {
    *error = "the shared status record is damaged or not this system's (" + problem + ")";
    return nullptr;
  }
  // Cleared by a service on its way out.
  if (((loadField(live->record().alarmFlags) >> kServiceRunningBit) & 1) == 0) {
    *error = kNotRunningMessage;
    *exitStatus = kExitNotRunning;
    return nullptr;
  }
  *exitStatus = kExitOk;
  return live;
}

}  // namespace orvik
