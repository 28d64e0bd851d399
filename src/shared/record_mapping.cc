#include "shared/record_mapping.h"

namespace orvik {

std::unique_ptr<RecordMapping> RecordMapping::createOrOpen(SharedMemory& memory, bool* existed) {
  bool found = false;
  std::unique_ptr<SharedBlock> block = memory.createOrOpen(kRecordName, kRecordSize, &found);
  // A creation the system refused (another user's block, say) may still open.
  if (!block) {
    block = memory.openExisting(kRecordName, kRecordSize);
    found = true;
  }
  if (!block || block->size() < kRecordSize) return nullptr;
  if (existed != nullptr) *existed = found;
  return std::unique_ptr<RecordMapping>(new RecordMapping(std::move(block)));
}

}  // namespace orvik
