#include "shared/record_mapping.h"

#include <vector>

namespace orvik {
namespace {

// The record of a run that found no live service: nobody else sees it.
class PrivateBlock final : public SharedBlock {
 public:
  explicit PrivateBlock(std::size_t size) : bytes_(size, 0) {}
  void* data() override { return bytes_.data(); }
  std::size_t size() const override { return bytes_.size(); }
  bool holdOwnerLock() override { return false; }

 private:
  std::vector<unsigned char> bytes_;
};

}  // namespace

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

std::unique_ptr<RecordMapping> RecordMapping::openLiveOrFresh(SharedMemory& memory) {
  bool refused = false;
  std::unique_ptr<SharedBlock> block = memory.openOwned(kRecordName, kRecordSize, &refused);
  if (refused) return nullptr;
  if (!block) block = std::make_unique<PrivateBlock>(kRecordSize);
  return std::unique_ptr<RecordMapping>(new RecordMapping(std::move(block)));
}

}  // namespace orvik
