#include "shared/control_datagram.h"

#include <algorithm>
#include <cstring>

namespace orvik {
namespace {

void putWord(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value >> 24);
  at[1] = static_cast<uint8_t>(value >> 16);
  at[2] = static_cast<uint8_t>(value >> 8);
  at[3] = static_cast<uint8_t>(value);
}

uint32_t getWord(const uint8_t* at) {
  return uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3];
}

}  // namespace

std::vector<uint8_t> encodeControlDatagram(uint32_t command, int32_t argument, const char* text) {
  const std::size_t length = text == nullptr ? 0 : strnlen(text, kMaxDatagramText);
  std::vector<uint8_t> bytes(kDatagramHeaderSize + length);
  putWord(&bytes[0], command);
  putWord(&bytes[4], static_cast<uint32_t>(argument));
  putWord(&bytes[8], static_cast<uint32_t>(length));
  if (length > 0) std::memcpy(&bytes[kDatagramHeaderSize], text, length);
  return bytes;
}

int decodeControlDatagram(const uint8_t* bytes, std::size_t size, ControlDatagram* out) {
  if (size < kDatagramHeaderSize) return -1;
  out->command = getWord(&bytes[0]);
  out->argument = static_cast<int32_t>(getWord(&bytes[4]));
  out->length = getWord(&bytes[8]);
  out->hasText = out->length >= 1 && out->length <= kMaxDatagramText;
  out->text.clear();
  if (out->hasText) {
    // Bytes beyond the datagram were never sent; they are not part of the text.
    const std::size_t arrived = std::min<std::size_t>(out->length, size - kDatagramHeaderSize);
    out->text.assign(reinterpret_cast<const char*>(&bytes[kDatagramHeaderSize]), arrived);
  }
  return 0;
}

}  // namespace orvik
