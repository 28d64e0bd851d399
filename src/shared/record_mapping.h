// Create-or-open of the shared status record, the same for the service and
// the pages.
#pragma once

#include <memory>

#include "platform/shared_memory.h"
#include "shared/status_record.h"

namespace orvik {

class RecordMapping {
 public:
  // Maps the record, creating a zero-filled block when none exists. Null on
  // failure. *existed (optional) tells whether the block was already there.
  static std::unique_ptr<RecordMapping> createOrOpen(SharedMemory& memory, bool* existed = nullptr);

  // The pages' create-or-open. The service's record while the service runs
  // (holds its owner lock); otherwise a fresh zero-filled record of this
  // mapping's own, gone when it is destroyed, as the block is on a system
  // where it goes with its last handle: a killed service's values are never
  // shown as live. Null when the record is there but may not be opened.
  static std::unique_ptr<RecordMapping> openLiveOrFresh(SharedMemory& memory);

  // Marks the record as the running service's for the life of this mapping.
  bool holdOwnerLock() { return block_->holdOwnerLock(); }

  StatusRecord& record() { return *static_cast<StatusRecord*>(block_->data()); }

 private:
  explicit RecordMapping(std::unique_ptr<SharedBlock> block) : block_(std::move(block)) {}
  std::unique_ptr<SharedBlock> block_;
};

}  // namespace orvik
