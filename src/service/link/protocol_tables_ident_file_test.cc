// The shipped "ident.ini" against the rules its readers apply: the
// fixed-reply lines first (their reader stops at the first line without two
// "<...>" items), a "Version:" line with "1.1", and per protocol section
// entries of nine items in which no entry hides a later, more specific one.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "service/link/link_test_support.h"
#include "service/link/protocol_tables.h"

namespace orvik {
namespace {

using link_test::repositoryFile;

std::vector<std::string> readCrlfLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = all.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(all.substr(start, end - start));
  }
  EXPECT_EQ(start, all.size()) << "text after the last line end";
  return lines;
}

std::string trim(const std::string& s) {
  std::size_t b = s.find_first_not_of(' '), e = s.find_last_not_of(' ');
  return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

std::vector<std::string> items(const std::string& line) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t comma; (comma = line.find(',', start)) != std::string::npos; start = comma + 1) {
    out.push_back(trim(line.substr(start, comma - start)));
  }
  out.push_back(trim(line.substr(start)));
  return out;
}

// Hex digits of the first "<...>" item, "x" skipped, up to the first other character.
bool fixedReplyVariable(const std::string& line, uint32_t& id) {
  std::size_t open = line.find('<'), close = line.find('>', open);
  if (open == std::string::npos || close == std::string::npos) return false;
  std::size_t open2 = line.find('<', close), close2 = line.find('>', open2);
  if (open2 == std::string::npos || close2 == std::string::npos) return false;
  id = 0;
  for (char c : trim(line.substr(open + 1, close - open - 1))) {
    if (c == 'x' || c == 'X') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) break;
    id = id * 16 + static_cast<uint32_t>(std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10);
  }
  return true;
}

bool entryMatches(const std::vector<std::string>& e, const std::string& k1, const std::string& k2,
                  const std::string& k3) {
  if (e[0] != k1) return false;
  return (e[1].empty() && e[2].empty()) || (e[1] == k2 && e[2].empty()) ||
         (e[1] == k2 && e[2] == k3);
}

TEST(IdentFile, FixedReplyLinesComeFirstAndNameFieldsOfFixedReplyCommands) {
  std::vector<std::string> lines = readCrlfLines(repositoryFile("data/ident.ini"));
  ASSERT_FALSE(lines.empty());
  std::set<uint32_t> fixedReplyIds;
  for (int protocol : {2, 5}) {
    ProtocolTables tables;
    int family = 0, variant = 0;
    buildProtocolTables(protocol, tables, family, variant, nullptr);
    for (int i = 1; const CommandRecord* c = tables.group(2).command(i); ++i) {
      if (c->sendKind != SendKind::noExchange) continue;
      for (const FieldRecord& f : c->fields) fixedReplyIds.insert(f.variableId);
    }
  }
  std::size_t n = 0;
  for (uint32_t id; n < lines.size() && fixedReplyVariable(lines[n], id); ++n) {
    EXPECT_TRUE(fixedReplyIds.count(id)) << lines[n];
  }
  EXPECT_GT(n, 0u);
  for (std::size_t i = n; i < lines.size(); ++i) {
    uint32_t id;
    EXPECT_FALSE(fixedReplyVariable(lines[i], id)) << "unreachable: " << lines[i];
  }
}

TEST(IdentFile, EveryModelEntryIsWellFormedAndReachable) {
  std::vector<std::string> lines = readCrlfLines(repositoryFile("data/ident.ini"));
  int versions = 0;
  for (const std::string& line : lines) {
    if (line.find("Version:") != std::string::npos) {
      ++versions;
      EXPECT_NE(line.find("1.1"), std::string::npos);
    }
  }
  EXPECT_EQ(versions, 1);

  for (const char* section : {"PROTOCOL1", "PROTOCOL2"}) {
    SCOPED_TRACE(section);
    std::size_t i = 0;
    while (i < lines.size() && !(lines[i].find("Protocol:") != std::string::npos &&
                                 lines[i].find(section) != std::string::npos)) {
      ++i;
    }
    ASSERT_LT(i, lines.size()) << "no section";
    std::vector<std::vector<std::string>> entries;
    std::vector<std::string> entryLines;
    for (++i; i < lines.size() && items(lines[i]).size() >= 4; ++i) {
      std::vector<std::string> e = items(lines[i]);
      ASSERT_EQ(e.size(), 9u) << lines[i];
      EXPECT_FALSE(e[0].empty()) << lines[i];
      for (int k = 5; k <= 7; ++k) EXPECT_GT(std::stoi(e[k]), 0) << lines[i];
      EXPECT_TRUE(e[8] == "0" || e[8] == "1") << lines[i];
      entries.push_back(e);
      entryLines.push_back(lines[i]);
    }
    EXPECT_GE(entries.size(), 3u);
    // Looked up with its own keys (a real key where it has none), each entry
    // must be the first match.
    for (std::size_t k = 0; k < entries.size(); ++k) {
      const std::vector<std::string>& e = entries[k];
      std::string k2 = e[1].empty() ? "ZZ" : e[1], k3 = e[2].empty() ? "ZZ" : e[2];
      std::size_t first = 0;
      while (!entryMatches(entries[first], e[0], k2, k3)) ++first;
      EXPECT_EQ(first, k) << "hidden: " << entryLines[k];
    }
  }
}

}  // namespace
}  // namespace orvik
