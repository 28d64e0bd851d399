// The SNMP agent's configuration file as page 23 edits it: community names
// ("rwcommunity NAME") and trap receivers ("trapsink ADDRESS"), each a line
// of its own, numbered 1, 2, ... per keyword in file order. Every other line
// (comments, empty lines, the agent's own settings) is kept byte for byte.
//
// Pure functions on the file's text; the page reads and replaces the file.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace orvik {

inline constexpr char kCommunityKeyword[] = "rwcommunity";
inline constexpr char kTrapSinkKeyword[] = "trapsink";
// The agent reads lines of up to 255 characters.
inline constexpr std::size_t kMaxSnmpLine = 255;

// The texts of keyword's entries in file order: what follows the keyword
// and one separator, without leading and trailing blanks. A line is read
// when it neither is empty nor starts with "#"; its keyword is its first
// token (blanks and tabs delimit).
std::vector<std::string> snmpEntries(std::string_view text, std::string_view keyword);

// text with the line "keyword entry" right after the line of keyword's last
// entry, or at the end when it has none.
std::string withSnmpEntry(std::string_view text, std::string_view keyword, std::string_view entry);

// text without the lines of keyword's entries whose numbers are in numbers;
// numbers that name no entry are passed over.
std::string withoutSnmpEntries(std::string_view text, std::string_view keyword,
                               const std::set<int>& numbers);

// An entry the file can hold as one line that the agent reads as it was
// typed: not empty, no line break, no "#" (which would start a comment),
// and short enough for its line.
bool isWritableSnmpEntry(std::string_view keyword, std::string_view entry);

}  // namespace orvik
