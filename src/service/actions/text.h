// The service's text type and the small operations its actions use on texts
// and on ";"-separated lists (host lists, recipients, pager entries).
//
// A list is a text of entries each followed by ";". Before a list is walked
// it is passed through terminateList(), so a last entry without its ";" is
// not lost, and then consumed entry by entry with takeToken().
//
// Everything here is plain data and pure functions: a Text belongs to one
// thread at a time, like any value.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvik {

// An owned, always NUL-terminated, growable character buffer. Functions that
// produce text return a new Text by value; its owner is the caller.
class Text {
 public:
  Text() = default;
  // A null pointer gives the empty text.
  explicit Text(const char* chars) { assign(chars); }
  explicit Text(std::string_view chars) : buffer_(chars) {}

  void assign(const char* chars) { buffer_.assign(chars ? chars : ""); }
  // Appending a Text's own characters to it works.
  void append(const char* chars) { buffer_.append(chars ? chars : ""); }
  void append(const Text& other) { buffer_.append(other.buffer_); }
  void append(char c) { buffer_.push_back(c); }

  int length() const { return static_cast<int>(buffer_.size()); }
  // No bounds check beyond the standard library's: callers pass 0..length()-1.
  char at(int index) const { return buffer_[static_cast<size_t>(index)]; }
  const char* chars() const { return buffer_.c_str(); }
  std::string_view view() const { return buffer_; }

  // count characters from start; both are clamped to the text, so a start at
  // or past the end gives the empty text and a negative count gives nothing.
  Text substring(int start, int count) const;

  bool operator==(const Text& other) const = default;

 private:
  std::string buffer_;
};

// Every occurrence of pattern replaced by replacement, scanning left to right;
// inserted text is not searched again, so a replacement that contains the
// pattern is inserted once. An empty pattern leaves the text unchanged.
Text replaceAll(const char* chars, const char* pattern, const char* replacement);

// Cuts the first entry off a list: -1 when the list holds no separator (list
// and destination untouched); otherwise the characters before the first
// separator go to destination, trimmed of blanks, they and the separator are
// removed from the list, and the result is 0. A list that begins with the
// separator gives an empty entry.
int takeToken(Text& list, Text& destination, char separator);

// Appends ";" when the list is not empty and does not end with one, and
// returns the number of entries (the number of ";").
int terminateList(Text& list);

int countChar(const char* chars, char c);

// Removes leading and trailing blanks (the space character only; tabs stay).
void trimSpaces(char* chars);
void trimSpaces(Text& text);

// Removes all trailing carriage returns and line feeds.
void trimLineEnd(char* chars);
void trimLineEnd(Text& text);

// 1-based position of the first occurrence of pattern, or -1.
int findPosition(const char* chars, const char* pattern);

// Hexadecimal digits (0-9, a-f, A-F) from the start of the text. The top bit
// of each character is ignored and the letter x is skipped wherever it
// stands, so "0x1F" gives 31; the first other character ends the number
// ("1G" gives 1). Digits beyond the eighth shift the older ones out (the
// value is kept modulo 2^32).
uint32_t parseHex(const char* chars);

// Sum over all characters of (character - '0') << position, the first
// character being bit 0: "011" gives 6. Computed modulo 2^32; characters at
// position 32 and beyond add nothing.
uint32_t parseBitString(const char* chars);

}  // namespace orvik
