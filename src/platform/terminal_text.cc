#include "platform/terminal_text.h"

#include <cstdint>

namespace orvik {
namespace {

constexpr unsigned char kEsc = 0x1B;
constexpr unsigned char kBel = 0x07;

// What a control opens, and so what must be skipped after it.
enum class Opens { kNothing, kControlSequence, kControlString };

Opens opensC1(unsigned char c1) {
  if (c1 == 0x9B) return Opens::kControlSequence;  // CSI
  // DCS, SOS, OSC, PM, APC: a string up to the string terminator.
  if (c1 == 0x90 || c1 == 0x98 || c1 == 0x9D || c1 == 0x9E || c1 == 0x9F) {
    return Opens::kControlString;
  }
  return Opens::kNothing;
}

// The length of a valid UTF-8 sequence of two or more bytes at i, or 0.
std::size_t utf8Length(std::string_view text, std::size_t i) {
  const auto c = static_cast<unsigned char>(text[i]);
  std::size_t length = 0;
  uint32_t code = 0;
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2, code = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3, code = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4, code = c & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    code = code << 6 | (next & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
  static constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kLeast[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
  return length;
}

// Index after a control sequence whose parameters start at i: parameter and
// intermediate bytes, then one final byte; a sequence broken off by any
// other byte ends before it.
std::size_t skipControlSequence(std::string_view text, std::size_t i) {
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c <= 0x3F) {
      ++i;
    } else {
      return c >= 0x40 && c <= 0x7E ? i + 1 : i;
    }
  }
  return i;
}

// Index after a control string starting at i: up to BEL, ESC "\" or the
// string terminator, raw or UTF-8; an unterminated string runs to the end.
std::size_t skipControlString(std::string_view text, std::size_t i) {
  for (; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == kBel || c == 0x9C) return i + 1;
    if (c == kEsc) return i + 1 < text.size() && text[i + 1] == '\\' ? i + 2 : i + 1;
    if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x9C) {
      return i + 2;
    }
  }
  return i;
}

// Index after what a control opens.
std::size_t skipOpened(Opens opens, std::string_view text, std::size_t i) {
  switch (opens) {
    case Opens::kControlSequence:
      return skipControlSequence(text, i);
    case Opens::kControlString:
      return skipControlString(text, i);
    default:
      return i;
  }
}

// Index after an escape sequence whose ESC is at i - 1.
std::size_t skipEscape(std::string_view text, std::size_t i) {
  if (i >= text.size()) return i;
  const auto c = static_cast<unsigned char>(text[i]);
  if (c == '[') return skipControlSequence(text, i + 1);
  if (c == ']' || c == 'P' || c == 'X' || c == '^' || c == '_')
    return skipControlString(text, i + 1);
  // Intermediate bytes, then a final byte.
  while (i < text.size() && static_cast<unsigned char>(text[i]) >= 0x20 &&
         static_cast<unsigned char>(text[i]) <= 0x2F) {
    ++i;
  }
  if (i < text.size() && static_cast<unsigned char>(text[i]) >= 0x30 &&
      static_cast<unsigned char>(text[i]) <= 0x7E) {
    ++i;
  }
  return i;
}

}  // namespace

std::string terminalSafeText(std::string_view text, bool multiline) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\r' || c == '\n') {
      i += c == '\r' && i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
      out += multiline ? "\r\n" : " ";
    } else if (c == kEsc) {
      i = skipEscape(text, i + 1);
    } else if (c == '\t' || (c >= 0x20 && c < 0x7F)) {
      out += static_cast<char>(c);
      ++i;
    } else if (c < 0x80) {
      ++i;  // other C0 controls and DEL
    } else if (const std::size_t length = utf8Length(text, i); length != 0) {
      if (length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
        // An encoded C1 control.
        i = skipOpened(opensC1(static_cast<unsigned char>(text[i + 1])), text, i + 2);
      } else {
        out.append(text.substr(i, length));
        i += length;
      }
    } else if (c < 0xA0) {
      i = skipOpened(opensC1(c), text, i + 1);  // a raw C1 control
    } else {
      out += static_cast<char>(c);  // a single-byte code's letter
      ++i;
    }
  }
  return out;
}

}  // namespace orvik
