// Named shared memory blocks that outlive no one but their creator's
// intention: the service creates the status record, the pages map it.
#pragma once

#include <cstddef>
#include <memory>

namespace orvik {

// A mapped view of a whole named block. Destroying it unmaps the view and
// closes the handle; the name stays until removeName().
class SharedBlock {
 public:
  virtual ~SharedBlock() = default;
  virtual void* data() = 0;
  virtual std::size_t size() const = 0;
  // Marks the block as owned for as long as this view exists: what the
  // service does with its record, so that openOwned can tell a live block
  // from one a killed owner left behind. False when it cannot be done.
  virtual bool holdOwnerLock() = 0;
};

class SharedMemory {
 public:
  virtual ~SharedMemory() = default;

  // Creates the block (zero-filled) or, when the name exists already, opens
  // it; *existed tells which. A block found smaller than size, as it is for
  // a moment while another process creates it, is looked at again for a
  // short while. Null on failure.
  virtual std::unique_ptr<SharedBlock> createOrOpen(const char* name, std::size_t size,
                                                    bool* existed) = 0;
  // Opens an existing block only. Null when there is none or it is smaller
  // than size.
  virtual std::unique_ptr<SharedBlock> openExisting(const char* name, std::size_t size) = 0;
  // Opens the block only while some view holds its owner lock. Null when
  // there is none, nobody holds it or it is smaller than size (*refused
  // false), or when the block is there but may not be opened (*refused true).
  virtual std::unique_ptr<SharedBlock> openOwned(const char* name, std::size_t size,
                                                 bool* refused) = 0;
  // What openOwnedForReading found.
  enum class Look { kOpened, kAbsent, kNotOwned, kWrongSize, kRefused };
  // For programs that only look at a live block: a read-only view (writing
  // through data() faults) while some view holds the owner lock. kWrongSize
  // when the block's size is not exactly size (*foundSize tells it); a block
  // of size 0, as one is for a moment while its creator sets it up, is
  // kNotOwned. Null unless *look is kOpened.
  virtual std::unique_ptr<SharedBlock> openOwnedForReading(const char* name, std::size_t size,
                                                           Look* look, std::size_t* foundSize) = 0;
  // Removes the name, so the next createOrOpen makes a new block. Mappings
  // still open keep working. (On Windows the name goes with its last handle.)
  virtual void removeName(const char* name) = 0;
};

}  // namespace orvik
