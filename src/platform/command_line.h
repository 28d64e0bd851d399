// A command line cut into words the way a Windows program receives it, so
// that one configured command means the same program and arguments on every
// platform: the first word names the program and ends at the first blank or,
// when it starts with a double quote, at the next one (backslashes are plain
// characters there, as in a path); the other words follow the C runtime's
// rules:
//   - blanks (space, tab) separate words, except inside double quotes;
//   - 2n backslashes before a quote give n backslashes, and the quote opens
//     or closes a quoted part; 2n + 1 give n backslashes and a plain quote;
//   - inside a quoted part, two quotes give one plain quote;
//   - other backslashes are plain characters.
// No other character is special: ";", "&", "|", "$" and backquotes are
// parts of words. Pure function; any thread.
#pragma once

#include <string>
#include <vector>

namespace orvik {

// The words of commandLine; empty when it holds nothing but blanks. A null
// pointer counts as empty.
std::vector<std::string> splitCommandLine(const char* commandLine);

}  // namespace orvik
