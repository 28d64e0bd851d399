#include "cgi/snmp_file.h"

namespace orvik {
namespace {

constexpr std::string_view kBlanks = " \t";

// The file's lines, each with its "\n" where it has one.
std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
    lines.push_back(text.substr(0, length));
    text.remove_prefix(length);
  }
  return lines;
}

std::string_view trimmed(std::string_view text, std::string_view blanks) {
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// True when line holds an entry of keyword; its text in *entry.
bool entryOf(std::string_view line, std::string_view keyword, std::string_view* entry) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (line.empty() || line.front() == '#') return false;
  const std::size_t start = line.find_first_not_of(kBlanks);
  if (start == std::string_view::npos) return false;
  line.remove_prefix(start);
  const std::size_t end = line.find_first_of(kBlanks);
  if (line.substr(0, end) != keyword) return false;
  // The keyword, then one separator; blanks beyond it belong to no entry.
  *entry =
      end == std::string_view::npos ? std::string_view() : trimmed(line.substr(end + 1), " \t\r");
  return true;
}

}  // namespace

std::vector<std::string> snmpEntries(std::string_view text, std::string_view keyword) {
  std::vector<std::string> entries;
  for (const std::string_view line : splitLines(text)) {
    std::string_view entry;
    if (entryOf(line, keyword, &entry)) entries.emplace_back(entry);
  }
  return entries;
}

std::string withSnmpEntry(std::string_view text, std::string_view keyword, std::string_view entry) {
  const std::vector<std::string_view> lines = splitLines(text);
  std::size_t after = lines.size();  // the line the new one follows; all of them by default
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string_view ignored;
    if (entryOf(lines[i], keyword, &ignored)) after = i + 1;
  }
  std::string out;
  out.reserve(text.size() + keyword.size() + entry.size() + 3);
  for (std::size_t i = 0; i <= lines.size(); ++i) {
    if (i == after) {
      if (!out.empty() && out.back() != '\n') out += '\n';
      out.append(keyword).append(" ").append(entry).append("\n");
    }
    if (i < lines.size()) out += lines[i];
  }
  return out;
}

std::string withoutSnmpEntries(std::string_view text, std::string_view keyword,
                               const std::set<int>& numbers) {
  std::string out;
  int number = 0;
  for (const std::string_view line : splitLines(text)) {
    std::string_view ignored;
    if (entryOf(line, keyword, &ignored) && numbers.count(++number) != 0) continue;
    out += line;
  }
  return out;
}

bool isWritableSnmpEntry(std::string_view keyword, std::string_view entry) {
  return !trimmed(entry, " \t").empty() && entry.find_first_of("\r\n#") == std::string_view::npos &&
         keyword.size() + 1 + entry.size() <= kMaxSnmpLine;
}

}  // namespace orvik
