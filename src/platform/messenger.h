// Messenger notices as the system sees them: one notice, a block of three
// NUL-terminated texts (sender, recipient, message), written to the notice
// service of a named computer or of every computer ("*"). Windows writes the
// block into the messenger mailslot; elsewhere a backend shows it to the
// users logged in where it can reach them.
//
// Called from the broadcast worker only; each call stands alone.
#pragma once

#include <cstddef>
#include <string>

namespace orvik {

class Messenger {
 public:
  virtual ~Messenger() = default;
  // 1 when the block was written for target, 0 when the target cannot be
  // reached, the block is malformed or the write failed. Returns within a
  // bounded time whoever is (not) reading.
  virtual int writeNotice(const std::string& target, const char* block, std::size_t size) = 0;
};

}  // namespace orvik
