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

  StatusRecord& record() { return *static_cast<StatusRecord*>(block_->data()); }

 private:
  explicit RecordMapping(std::unique_ptr<SharedBlock> block) : block_(std::move(block)) {}
  std::unique_ptr<SharedBlock> block_;
};

}  // namespace orvik
