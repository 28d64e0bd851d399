#include "shared/clean_text.h"

#include <cstdint>

namespace orvik {
namespace {

// Length of the valid UTF-8 sequence at text[at] and its code point, or 0.
std::size_t utf8Sequence(std::string_view text, std::size_t at, uint32_t* codePoint) {
  const auto byte = [&](std::size_t i) { return static_cast<uint8_t>(text[at + i]); };
  const uint8_t lead = byte(0);
  std::size_t length = 0;
  uint32_t value = 0;
  uint32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    value = value << 6 | (byte(i) & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *codePoint = value;
  return length;
}

}  // namespace

std::string cleanText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t at = 0; at < bytes.size();) {
    const auto byte = static_cast<uint8_t>(bytes[at]);
    if (byte < 0x20 || byte == 0x7F) {
      ++at;
    } else if (byte < 0x80) {
      out.push_back(static_cast<char>(byte));
      ++at;
    } else if (uint32_t codePoint = 0; std::size_t length = utf8Sequence(bytes, at, &codePoint)) {
      if (codePoint >= 0xA0) out.append(bytes.substr(at, length));
      at += length;
    } else {
      if (byte >= 0xA0) {
        out.push_back(static_cast<char>(0xC0 | byte >> 6));
        out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
      } else {
        out.push_back('?');
      }
      ++at;
    }
  }
  return out;
}

}  // namespace orvik
