#include "service/actions/text.h"

#include <cstring>

namespace orvik {

Text Text::substring(int start, int count) const {
  const int size = length();
  if (start < 0) start = 0;
  if (start >= size || count <= 0) return Text();
  if (count > size - start) count = size - start;
  return Text(view().substr(static_cast<size_t>(start), static_cast<size_t>(count)));
}

Text replaceAll(const char* chars, const char* pattern, const char* replacement) {
  const std::string_view source = chars ? chars : "";
  const std::string_view what = pattern ? pattern : "";
  if (what.empty()) return Text(source);
  Text result;
  size_t from = 0;
  for (size_t hit = source.find(what); hit != std::string_view::npos;
       hit = source.find(what, from)) {
    result.append(Text(source.substr(from, hit - from)));
    result.append(replacement);
    from = hit + what.size();
  }
  result.append(Text(source.substr(from)));
  return result;
}

int takeToken(Text& list, Text& destination, char separator) {
  const size_t end = list.view().find(separator);
  if (end == std::string_view::npos) return -1;
  destination = Text(list.view().substr(0, end));
  trimSpaces(destination);
  list = Text(list.view().substr(end + 1));
  return 0;
}

int terminateList(Text& list) {
  if (list.length() > 0 && list.at(list.length() - 1) != ';') list.append(';');
  return countChar(list.chars(), ';');
}

int countChar(const char* chars, char c) {
  int count = 0;
  for (; chars && *chars; ++chars) {
    if (*chars == c) ++count;
  }
  return count;
}

namespace {

std::string_view trimmedSpaces(std::string_view s) {
  const size_t first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::string_view trimmedLineEnd(std::string_view s) {
  const size_t last = s.find_last_not_of("\r\n");
  return last == std::string_view::npos ? std::string_view() : s.substr(0, last + 1);
}

// Writes a sub-range of a buffer back to its start; the ranges may overlap.
void keepOnly(char* chars, std::string_view part) {
  if (!part.empty()) std::memmove(chars, part.data(), part.size());
  chars[part.size()] = '\0';
}

}  // namespace

void trimSpaces(char* chars) {
  if (chars) keepOnly(chars, trimmedSpaces(chars));
}

void trimSpaces(Text& text) { text = Text(trimmedSpaces(text.view())); }

void trimLineEnd(char* chars) {
  if (chars) keepOnly(chars, trimmedLineEnd(chars));
}

void trimLineEnd(Text& text) { text = Text(trimmedLineEnd(text.view())); }

int findPosition(const char* chars, const char* pattern) {
  if (!chars || !pattern) return -1;
  const char* hit = std::strstr(chars, pattern);
  return hit ? static_cast<int>(hit - chars) + 1 : -1;
}

uint32_t parseHex(const char* chars) {
  uint32_t value = 0;
  for (; chars && *chars; ++chars) {
    const char c = static_cast<char>(*chars & 0x7f);
    uint32_t digit;
    if (c == 'x') continue;
    if (c >= '0' && c <= '9') {
      digit = static_cast<uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<uint32_t>(c - 'A' + 10);
    } else {
      break;
    }
    value = value * 16 + digit;
  }
  return value;
}

uint32_t parseBitString(const char* chars) {
  uint32_t sum = 0;
  for (int position = 0; position < 32 && chars && chars[position]; ++position) {
    const uint32_t weight = static_cast<uint32_t>(chars[position] - '0');
    sum += weight << position;
  }
  return sum;
}

}  // namespace orvik
