// The page being written: the whole response (header and HTML) collects
// here and goes out in one write at the end, so a page is never half sent
// and a datagram diagnostic lands in the page where it happened.
#pragma once

#include <string>
#include <string_view>

namespace orvik {

// text with the five characters that HTML gives a meaning (& < > " ')
// written as entities; safe in element content and in quoted attributes.
std::string htmlEscape(std::string_view text);

class PageWriter {
 public:
  void write(std::string_view text) { out_.append(text); }
  void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
  const std::string& text() const { return out_; }

 private:
  std::string out_;
};

}  // namespace orvik
