#include "cgi/link_file.h"

#include <cstdio>

namespace orvik {

UserLinks readLinkFile(const std::string& path) {
  UserLinks links;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return links;
  std::size_t line = 0;
  int c;
  while (line < links.texts.size() && (c = std::fgetc(file)) != EOF) {
    if (c == '\n') {
      std::string& text = links.texts[line];
      if (!text.empty() && text.back() == '\r') text.pop_back();
      ++line;
    } else if (links.texts[line].size() < kLinkTextLength + 1) {
      // One past the limit keeps a "\r" that ends a full line apart from a
      // longer line's 64th character; the cut below drops either.
      links.texts[line].push_back(static_cast<char>(c));
    }
  }
  std::fclose(file);
  for (std::string& text : links.texts) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (text.size() > kLinkTextLength) text.resize(kLinkTextLength);
  }
  return links;
}

std::string linkFileText(const UserLinks& links) {
  std::string text;
  for (const std::string& line : links.texts) text += line + "\n";
  return text;
}

}  // namespace orvik
