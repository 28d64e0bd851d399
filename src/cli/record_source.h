// The live status record for `orvik`: mapped read-only, and only while the
// service holds it, so a record a dead service left behind is never shown as
// live values.
#pragma once

#include <memory>
#include <string>

#include "platform/shared_memory.h"
#include "shared/status_record.h"

namespace orvik {

class LiveRecord {
 public:
  // The live record, or null with *error (one line, no program name) and
  // *exitStatus: kExitNotRunning when there is no live service (no record,
  // nobody holds it, or the service has stopped), kExitError when the
  // record is there but may not be opened or is no status record.
  static std::unique_ptr<LiveRecord> open(SharedMemory& memory, std::string* error,
                                          int* exitStatus);

  // Read through record_access.h's loaders: the service writes meanwhile.
  const StatusRecord& record() const { return *static_cast<const StatusRecord*>(block_->data()); }

 private:
  explicit LiveRecord(std::unique_ptr<SharedBlock> block) : block_(std::move(block)) {}
  std::unique_ptr<SharedBlock> block_;
};

inline constexpr char kNotRunningMessage[] = "service not running";

}  // namespace orvik
