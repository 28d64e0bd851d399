#include "cgi/page_writer.h"

#include <cstdarg>
#include <cstdio>

namespace orvik {

std::string htmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

void PageWriter::print(const char* format, ...) {
  char small[512];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (length < 0) {
    va_end(again);
    return;
  }
  if (static_cast<std::size_t>(length) < sizeof small) {
    out_.append(small, static_cast<std::size_t>(length));
  } else {
    const std::size_t at = out_.size();
    out_.resize(at + static_cast<std::size_t>(length) + 1);
    std::vsnprintf(out_.data() + at, static_cast<std::size_t>(length) + 1, format, again);
    out_.resize(at + static_cast<std::size_t>(length));
  }
  va_end(again);
}

}  // namespace orvik
