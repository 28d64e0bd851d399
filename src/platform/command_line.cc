#include "platform/command_line.h"

namespace orvik {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> splitCommandLine(const char* commandLine) {
  std::vector<std::string> words;
  if (commandLine == nullptr) return words;
  const char* p = commandLine;
  while (isBlank(*p)) ++p;
  if (*p == '\0') return words;

  // The program's name: quotes only delimit it.
  std::string program;
  if (*p == '"') {
    for (++p; *p != '\0' && *p != '"'; ++p) program += *p;
    if (*p == '"') ++p;
  } else {
    for (; *p != '\0' && !isBlank(*p); ++p) program += *p;
  }
  words.push_back(program);

  for (;;) {
    while (isBlank(*p)) ++p;
    if (*p == '\0') break;
    std::string word;
    bool quoted = false;
    while (*p != '\0' && (quoted || !isBlank(*p))) {
      if (*p == '\\') {
        int backslashes = 0;
        while (*p == '\\') {
          ++backslashes;
          ++p;
        }
        if (*p == '"') {
          word.append(backslashes / 2, '\\');
          if (backslashes % 2 == 1) {
            word += '"';
            ++p;
          }
          // An even count leaves the quote to the code below.
        } else {
          word.append(backslashes, '\\');
        }
        continue;
      }
      if (*p == '"') {
        if (quoted && p[1] == '"') {
          word += '"';
          p += 2;
        } else {
          quoted = !quoted;
          ++p;
        }
        continue;
      }
      word += *p++;
    }
    words.push_back(word);
  }
  return words;
}

}  // namespace orvik
