// Every row of every table set, checked against a second transcription kept
// in the protocol's own shorthand (see parseFields), so that a slip in a
// column, width, check or marker shows up as a named difference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "service/link/protocol_tables.h"

namespace orvik {
namespace {

// One command row: group.index, command, send kind, terminator ("-" none),
// reply length (-1 unknown), number (0 none), poll flag, fields.
struct Row {
  const char* position;
  const char* command;
  int sendKind;
  const char* terminator;
  int replyLength;
  uint32_t number;
  int poll;
  const char* fields;
};

struct ExpectedField {
  uint32_t variableId = 0;
  int column = 0;
  int bit = 0;
  int widthBits = 0;
  int conversion = 0;
  unsigned checkMode = 0xffff;
  std::vector<int> valueTable = std::vector<int>(8, 0);
  unsigned composePart = 0;
  float scale = 1;
  std::string mustContain;
  std::string endMarker;
};

// Splits on `separator` outside quotes and parentheses; quoted texts keep
// their quotes and take \r and \n escapes.
std::vector<std::string> split(std::string_view text, char separator) {
  std::vector<std::string> parts(1);
  bool quoted = false;
  int depth = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quoted && c == '\\' && i + 1 < text.size()) {
      char e = text[++i];
      parts.back() += e == 'r' ? '\r' : e == 'n' ? '\n' : e;
      continue;
    }
    if (c == '"') quoted = !quoted;
    if (!quoted && c == '(') ++depth;
    if (!quoted && c == ')') --depth;
    if (!quoted && depth == 0 && c == separator) {
      if (!parts.back().empty()) parts.emplace_back();
      continue;
    }
    parts.back() += c;
  }
  if (parts.back().empty()) parts.pop_back();
  return parts;
}

std::string unquote(const std::string& token) {
  EXPECT_TRUE(token.size() >= 2 && token.front() == '"' && token.back() == '"') << token;
  return token.size() >= 2 ? token.substr(1, token.size() - 2) : "";
}

// The numbers inside "name(a,b..c to d..e)".
std::vector<int> arguments(const std::string& token) {
  std::vector<int> numbers;
  const char* p = token.c_str() + token.find('(') + 1;
  while (*p != ')' && *p != '\0') {
    char* end = nullptr;
    long n = std::strtol(p, &end, 10);
    if (end == p) {
      ++p;
      continue;
    }
    numbers.push_back(static_cast<int>(n));
    p = end;
  }
  return numbers;
}

ExpectedField parseField(const std::string& notation) {
  ExpectedField f;
  std::vector<std::string> tokens = split(notation, ' ');
  const std::string& variable = tokens.at(0);
  std::size_t dot = variable.find('.');
  f.variableId = static_cast<uint32_t>(std::stoul(variable));
  if (dot != std::string::npos) f.variableId |= std::stoul(variable.substr(dot + 1)) << 16;
  for (std::size_t i = 1; i < tokens.size(); ++i) {
    const std::string& t = tokens[i];
    auto next = [&]() -> std::string { return i + 1 < tokens.size() ? tokens[++i] : ""; };
    if (t == "constant") {
      f.variableId |= 1u << 24;
    } else if (t == "at") {
      std::string at = next();
      f.column = std::stoi(at);
      std::size_t d = at.find('.');
      f.bit = d == std::string::npos ? 0 : std::stoi(at.substr(d + 1));
    } else if (t[0] == 'w') {
      f.widthBits = t.back() == 'b' ? std::stoi(t.substr(1)) : std::stoi(t.substr(1)) * 8;
    } else if (t == "to") {
      f.widthBits = -1;
      f.endMarker = unquote(next());
    } else if (t == "text" || t == "byte" || t == "dec" || t == "hex" || t == "bits") {
      f.conversion = t == "text" ? 1 : t == "byte" ? 2 : t == "dec" ? 3 : t == "hex" ? 4 : 5;
    } else if (t.starts_with("map(")) {
      f.checkMode = 1;
      std::vector<int> a = arguments(t);
      std::copy(a.begin(), a.end(), f.valueTable.begin());
    } else if (t.starts_with("ref(")) {
      f.checkMode = 2;
      f.valueTable[0] = 1;
      f.valueTable[1] = arguments(t).at(0);
    } else if (t.starts_with("values(")) {
      f.checkMode = 2;
      std::vector<int> a = arguments(t);
      f.valueTable[0] = static_cast<int>(a.size());
      std::copy(a.begin(), a.end(), f.valueTable.begin() + 1);
    } else if (t.starts_with("range(")) {
      f.checkMode = 2;
      std::vector<int> a = arguments(t);
      f.valueTable[0] = -2;
      f.valueTable[1] = a.at(0);
      f.valueTable[2] = a.at(1);
    } else if (t.starts_with("linear(")) {
      f.checkMode = 6;
      std::vector<int> a = arguments(t);
      std::copy(a.begin(), a.end(), f.valueTable.begin() + 1);
    } else if (t.starts_with("part")) {
      f.composePart = static_cast<unsigned>(std::stoi(t.substr(4)));
    } else if (t[0] == 'x') {
      f.scale = std::strtof(t.c_str() + 1, nullptr);
    } else if (t == "must") {
      f.mustContain = unquote(next());
    } else if (t == "end") {
      f.endMarker = unquote(next());
    } else {
      ADD_FAILURE() << "unknown token " << t << " in " << notation;
    }
  }
  return f;
}

void expectField(const FieldRecord& actual, const ExpectedField& e) {
  EXPECT_EQ(actual.variableId, e.variableId);
  EXPECT_EQ(fieldColumn(actual), e.column);
  EXPECT_EQ(fieldBit(actual), e.bit);
  EXPECT_EQ(actual.widthBits, e.widthBits);
  EXPECT_EQ(static_cast<int>(actual.conversion), e.conversion);
  EXPECT_EQ(static_cast<unsigned>(actual.check.checkMode), e.checkMode);
  for (int k = 0; k < 8; ++k)
    EXPECT_EQ(actual.check.valueTable[k], e.valueTable[k]) << "entry " << k;
  EXPECT_EQ(actual.composePart, e.composePart);
  EXPECT_FLOAT_EQ(actual.scale, e.scale);
  EXPECT_EQ(std::string(actual.mustContain), e.mustContain);
  EXPECT_EQ(std::string(actual.endMarker), e.endMarker);
}

// Checks every group of the built tables against rows; polled(command) gives
// the poll flag the model should end up with, given the row's own.
template <class PollFor>
void expectTables(const ProtocolTables& tables, const std::vector<Row>& rows, PollFor polled) {
  int counts[5] = {0, 0, 0, 0, 0};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.position) + " " + row.command);
    int group = row.position[0] - '0';
    int index = std::atoi(row.position + 2);
    ++counts[group];
    const CommandRecord* c = tables.group(group).command(index);
    ASSERT_NE(c, nullptr);
    EXPECT_STREQ(c->commandText, row.command);
    EXPECT_EQ(static_cast<int>(c->sendKind), row.sendKind);
    EXPECT_STREQ(c->commandTerminator,
                 std::string_view(row.terminator) == "-" ? "" : row.terminator);
    EXPECT_EQ(c->replyLength, row.replyLength);
    EXPECT_EQ(c->commandNumber, row.number);
    EXPECT_EQ(c->pollEnabled, polled(row));
    EXPECT_STREQ(c->replyPrefix, "");
    EXPECT_EQ(c->startColumn, 1);
    std::vector<std::string> fields = split(row.fields, ';');
    ASSERT_EQ(c->fields.size(), fields.size());
    for (std::size_t k = 0; k < fields.size(); ++k) {
      SCOPED_TRACE("field " + std::to_string(k + 1) + ":" + fields[k]);
      expectField(c->fields[k], parseField(fields[k]));
    }
  }
  for (int g = 1; g <= 4; ++g) {
    EXPECT_EQ(tables.group(g).count, counts[g] == 0 ? -1 : counts[g]) << "group " << g;
  }
}

ProtocolTables built(int protocol) {
  ProtocolTables tables;
  int family = 0, variant = 0;
  buildProtocolTables(protocol, tables, family, variant, nullptr);
  return tables;
}

int asListed(const Row& row) { return row.poll; }

// clang-format off
const std::vector<Row> kBinary = {
    {"1.1", "1", 2, "-", 16, 0, 1, R"x(49 constant; 50 constant; 8 at 1 w1 byte; 3.3 at 2 w1 byte linear(0..100 to 100..136); 3.1 at 3 w1 byte x2; 3.2 at 4 w1 byte x2; 5.1 at 5 w1 byte x10; 5.2 at 7 w1 byte x10; 39 at 10.1 w1b byte ref(0); 43 at 10.1 w1b byte ref(1); 71 at 10.1 w1b byte ref(1); 45 at 10.2 w1b byte ref(1); 44 at 10.2 w1b byte ref(0); 70 at 10.4 w1b byte ref(0); 40 at 10.5 w1b byte ref(1); 41 at 10.5 w1b byte ref(0); 32 at 10.6 w1b byte ref(1); 46 at 11.2 w1b byte ref(1); 44 at 11.2 w1b byte ref(0); 83 at 11.3 w1b byte ref(1); 27 at 11.3 w1b byte ref(0); 68.1 constant; 68.2 constant; 11.1 constant; 11.2 constant; 11.3 constant; 14 constant; 15 constant)x"},
    {"4.1", "3", 2, "-", 1, 369, 1, "0 at 1 w1 byte"},
    {"4.2", "188", 2, "-", 3, 386, 1, "26 at 2 w1 byte range(0..60) part2 x0.017; 26 at 3 w1 byte range(0..60) part4"},
    {"4.3", "4", 2, "-", 3, 387, 1, "25 at 2 w1 byte range(0..255) part2 x0.00006536; 25 at 3 w1 byte range(0..255) part4 x0.017"},
};

const std::vector<Row> kQ1A = {
    {"1.1", "Q1", 1, "\r", 48, 0, 1, R"x(3.1 at 2 w5 text must "("; 3.2 at 14 w5 text; 8 at 20 to " " dec; 5.1 at 24 to " " text x10; 3.3 at 29 w4 text x10; 9.3 at 34 to " " text; 43 at 39 w1 dec ref(1); 71 at 39 w1 dec ref(1); 45 at 40 w1 dec ref(1); 41 at 41 w1 dec ref(1); 39 at 41 w1 dec ref(0); 29 at 42 w1 dec ref(1); 70 at 43 w1 dec ref(1); 83 at 44 w1 dec ref(1); 27 at 44 w1 dec ref(0); 72 at 48 w1 dec ref(1); 34 at 48 w1 dec ref(2); 79 at 48 w1 dec ref(3); 32 at 48 w1 dec ref(4); 78 at 48 w1 dec ref(5); 33 at 48 w1 dec ref(6); 46 at 48 w1 dec ref(7) end "\r")x"},
    {"2.1", "I", 1, "\r", 40, 0, 1, R"x(49 at 2 to " " text must "#"; 50 at 18 w11 text; 54 at 29 to "\r" text)x"},
    {"2.2", "1", 6, "-", 1, 0, 1, "68.1 at 1 w1 text; 68.2 at 1 w1 text"},
    {"2.3", "F", 1, "\r", 22, 0, 1, R"x(11.1 at 2 w5 text must "#"; 11.2 at 2 w5 text; 11.3 at 12 to " " text x10; 13.1 at 18 w4 text x10; 13.2 at 18 w4 text x10 end "\r")x"},
    {"4.1", "T", 1, "\r", 2, 369, 1, R"x(0 at 1 w1 text end "\r")x"},
    {"4.2", "S", 1, "-", 2, 386, 0, "26 at 2 w2 dec"},
    {"4.3", "R", 1, "-", 1, 387, 0, R"x(25 at 2 w4 dec values(0,9999) end "\r")x"},
};

const std::vector<Row> kQ1B = {
    {"1.1", "OI", 1, "\r", -1, 0, 1, R"x(73 at 2 w2 dec; 160 at 4 w1 dec; 161 at 5 w1 dec end "\r")x"},
    {"1.2", "Q1", 1, "\r", 48, 0, 1, R"x(3.1 at 2 w5 text must "("; 3.2 at 14 w5 text; 8 at 20 to " " dec; 5.1 at 24 to " " text x10; 3.3 at 29 w4 text x10; 9.3 at 34 to " " text; 43 at 39 w1 dec ref(1); 71 at 39 w1 dec ref(1); 45 at 40 w1 dec ref(1); 41 at 41 w1 dec ref(1); 39 at 41 w1 dec ref(0); 29 at 42 w1 dec ref(1); 70 at 43 w1 dec ref(1); 83 at 44 w1 dec ref(1); 27 at 44 w1 dec ref(0) end "\r")x"},
    {"2.1", "I", 1, "\r", 40, 0, 1, R"x(49 at 2 to " " text must "#"; 50 at 17 w12 text; 54 at 29 to "\r" text)x"},
    {"2.2", "1", 6, "-", 1, 0, 1, "68.1 at 1 w1 text; 68.2 at 1 w1 text"},
    {"2.3", "F", 1, "\r", 22, 0, 1, R"x(11.1 at 2 w5 text must "#"; 11.2 at 2 w5 text; 11.3 at 12 to " " text x10; 13.1 at 18 w4 text x10; 13.2 at 18 w4 text x10 end "\r")x"},
    {"4.1", "T", 1, "\r", 2, 369, 1, R"x(0 at 1 w1 text end "\r")x"},
    {"4.2", "S", 1, "-", 2, 386, 0, "26 at 2 w2 dec"},
    {"4.3", "R", 1, "-", 1, 387, 0, R"x(25 at 2 w4 dec values(0,9999) end "\r")x"},
};

const Row kQ1CStatus = {"1.2", "Q1", 1, "\r", 56, 0, 1, R"x(3.1 at 2 w5 text must "("; 3.2 at 14 w5 text; 8 at 20 to " " dec; 5.1 at 24 to " " text x10; 3.3 at 29 w4 text x10; 9.3 at 34 to " " text; 43 at 39 w1 dec ref(1); 71 at 39 w1 dec ref(1); 45 at 40 w1 dec ref(1); 41 at 41 w1 dec ref(1); 39 at 41 w1 dec ref(0); 29 at 42 w1 dec ref(1); 70 at 43 w1 dec ref(1); 83 at 44 w1 dec ref(1); 27 at 44 w1 dec ref(0); 32 at 49 w1 dec ref(1); 32 at 50 w1 dec ref(1) end "\r")x"};

const std::vector<Row> kTwoLetter = {
    {"1.1", "BS", 1, "\r\n", 4, 0, 1, R"x(44 at 1 w4 dec map(1,2,0,0); 45 at 1 w4 dec map(1,3,0,0); 47 at 1 w4 dec map(1,4,0,0) end "\r")x"},
    {"1.2", "BV", 1, "\r\n", -1, 0, 1, R"x(3.3 at 1 to "\r" dec)x"},
    {"1.3", "BT", 1, "\r\n", -1, 0, 1, R"x(9.3 at 1 to "\r" dec)x"},
    {"1.4", "NF", 1, "\r\n", 5, 0, 1, R"x(5.1 at 1 w5 dec end "\r")x"},
    {"1.5", "NV", 1, "\r\n", 5, 0, 1, R"x(3.1 at 1 w5 dec end "\r")x"},
    {"1.6", "OF", 1, "\r\n", 5, 0, 1, R"x(5.2 at 1 w5 dec end "\r")x"},
    {"1.7", "OV", 1, "\r\n", 6, 0, 1, R"x(3.2 at 1 w5 dec end "\r")x"},
    {"1.8", "OL", 1, "\r\n", 5, 0, 1, R"x(8 at 1 w5 dec end "\r")x"},
    {"1.9", "OS", 1, "\r\n", 4, 0, 1, R"x(39 at 1 w4 dec ref(3); 42 at 1 w4 dec ref(4); 40 at 1 w4 dec ref(6); 41 at 1 w4 dec ref(7) end "\r")x"},
    {"1.10", "AG", 1, "\r\n", 4, 0, 1, R"x(46 at 1.1 w1b hex ref(1); 71 at 1.2 w1b hex ref(1); 47 at 1.4 w1b hex ref(1); 34 at 2.1 w1b hex ref(1); 43 at 2.2 w1b hex ref(1); 72 at 2.3 w1b hex ref(1); 32 at 2.4 w1b hex ref(1) end "\r")x"},
    {"1.11", "TR", 1, "\r\n", -1, 0, 1, R"x(27 at 1 w3 dec ref(1); 80 at 1 w3 dec ref(2); 81 at 1 w3 dec ref(3); 82 at 1 w3 dec ref(4); 83 at 1 w3 dec ref(5); 84 at 1 w3 dec ref(6) end "\r")x"},
    {"2.1", "IM", 1, "\r\n", -1, 0, 1, R"x(49 at 1 to "\r" text)x"},
    {"2.2", "IO", 1, "\r\n", -1, 0, 1, R"x(50 at 1 to "\r" text)x"},
    {"2.3", "IS", 1, "\r\n", -1, 0, 1, R"x(54 at 1 to "\r" text)x"},
    {"2.4", "IZ", 1, "\r\n", -1, 0, 1, R"x(51 at 1 to "\r" text)x"},
    {"2.5", "1", 6, "-", 1, 0, 1, "68.1 at 1 w1 dec"},
    {"2.6", "1", 6, "-", 1, 0, 1, "68.2 at 1 w1 dec"},
    {"2.7", "FV", 1, "\r\n", 5, 0, 1, R"x(11.1 at 1 w5 dec end "\r")x"},
    {"2.8", "FF", 1, "\r\n", 5, 0, 1, R"x(13.1 at 1 w5 dec end "\r")x"},
    {"2.9", "FO", 1, "\r\n", 5, 0, 1, R"x(11.2 at 1 w5 dec end "\r")x"},
    {"2.10", "FR", 1, "\r\n", 40, 0, 1, R"x(13.2 at 1 w5 dec end "\r")x"},
    {"2.11", "FA", 1, "\r\n", -1, 0, 1, R"x(14 at 1 to "\r" dec)x"},
    {"2.12", "FP", 1, "\r\n", -1, 0, 1, R"x(15 at 1 to "\r" dec)x"},
    {"2.13", "ON", 1, "\r\n", 4, 0, 1, R"x(73 at 1 w4 dec end "\r")x"},
    {"3.1", "BD", 1, "\r\n", 7, 0, 1, R"x(55 at 1 w7 dec end "\r")x"},
    {"3.2", "CA", 1, "\r\n", -1, 0, 1, R"x(60 at 1 to "\r" dec ref(1); 61 at 1 to "\r" dec)x"},
    {"3.3", "FU", 1, "\r\n", 4, 0, 1, R"x(56 at 1 w4 dec ref(1); 57 at 1 w4 dec ref(2); 58 at 1 w4 dec ref(3); 59 at 1 w4 dec ref(4) end "\r")x"},
    {"3.4", "FL", 1, "\r\n", 5, 0, 1, R"x(22 at 1 w5 dec values(89,91,93,96) end "\r")x"},
    {"3.5", "FH", 1, "\r\n", 5, 0, 1, R"x(23 at 1 w5 dec values(142,145,148,151) end "\r")x"},
    {"3.6", "FT", 1, "\r\n", 5, 0, 1, R"x(11.3 at 1 w5 dec end "\r")x"},
    {"3.7", "FB", 1, "\r\n", 4, 0, 1, R"x(67 at 1 w4 dec values(2,5) end "\r")x"},
    {"3.8", "OI1", 1, "\r\n", 3, 0, 1, R"x(160 at 1 w3 dec ref(1) end "\r")x"},
    {"3.9", "OI2", 1, "\r\n", 3, 0, 1, R"x(161 at 1 w3 dec ref(1) end "\r")x"},
    {"3.10", "OM1", 1, "\r\n", 3, 0, 1, R"x(192 at 1 w3 dec ref(1) end "\r")x"},
    {"3.11", "OM2", 1, "\r\n", 3, 0, 1, R"x(193 at 1 w3 dec ref(1) end "\r")x"},
    {"3.12", "OA1", 1, "\r\n", 4, 0, 1, R"x(224 at 1 w4 dec values(0,1,2,3) end "\r")x"},
    {"3.13", "OA2", 1, "\r\n", 4, 0, 1, R"x(224 at 1 w4 dec values(0,1,2,3) end "\r")x"},
    {"3.14", "OD1", 1, "\r\n", 3, 0, 1, R"x(240 at 1 w3 dec values(1,3,6,9) end "\r")x"},
    {"3.15", "OD2", 1, "\r\n", 3, 0, 1, R"x(240 at 1 w3 dec values(1,3,6,9) end "\r")x"},
    {"4.1", "Fb", 1, "-", 6, 407, 1, R"x(67 at 3 w4 dec values(2,5) end "\r\n")x"},
    {"4.2", "Fu", 1, "-", 6, 408, 1, R"x(56 at 3 w3 dec ref(1); 57 at 3 w3 dec ref(2) end "\r\n")x"},
    {"4.3", "Fl", 1, "-", 7, 409, 1, R"x(22 at 3 w5 dec values(89,91,93,96) end "\r\n")x"},
    {"4.4", "Fh", 1, "-", 7, 410, 1, R"x(23 at 3 w5 dec values(142,145,148,151) end "\r\n")x"},
    {"4.5", "Bd", 1, "-", 9, 4132, 1, R"x(55 at 3 w7 dec range(0..32000) end "\r\n")x"},
    {"4.6", "Cs", 1, "-", 11, 386, 1, R"x(26 at 3 w9 dec range(-1..32000) end "\r\n")x"},
    {"4.7", "Cu", 1, "-", 11, 387, 1, R"x(25 at 3 w9 dec range(-1..32000) end "\r\n")x"},
    {"4.8", "Fa", 1, "-", 6, 389, 1, R"x(60 at 3 w4 dec; 61 at 3 w4 dec end "\r\n")x"},
    {"4.9", "Ct", 1, "-", 6, 385, 1, R"x(62 at 3 w4 dec; 63 at 3 w4 dec end "\r\n")x"},
    {"4.10", "Ts", 1, "-", 4, 369, 1, R"x(0 at 1 w4 dec end "\r\n")x"},
    {"4.11", "Cr", 1, "-", 6, 388, 1, R"x(70 at 3 w4 dec end "\r\n")x"},
    {"4.12", "Oi", 1, "-", 6, 66145, 1, R"x(160 at 3 w4 dec end "\r\n")x"},
    {"4.13", "Om", 1, "-", 6, 66146, 1, R"x(192 at 3 w4 dec end "\r\n")x"},
    {"4.14", "Oa", 1, "-", 6, 66147, 1, R"x(224 at 3 w4 dec end "\r\n")x"},
    {"4.15", "Od", 1, "-", 6, 66148, 1, R"x(240 at 3 w4 dec end "\r\n")x"},
};

// The commands each two-letter model does not poll, read off by protocol.
const std::vector<std::vector<std::string_view>> kTwoLetterSkipped = {
    /* 5 */ {"TR", "IZ", "ON", "BD", "CA", "FU", "FT", "FL", "FH", "FB", "OI1", "OI2", "OM1",
             "OM2", "OA1", "OA2", "OD1", "OD2"},
    /* 6 */ {"BT", "ON", "FL", "FH", "FB", "OI1", "OI2", "OM1", "OM2", "OA1", "OA2", "OD1", "OD2"},
    /* 7 */ {},
    /* 8 */ {},
    /* 9 */ {"IZ", "ON", "BD", "FL", "FH", "FB", "OI1", "OI2", "OM1", "OM2", "OA1", "OA2", "OD1",
             "OD2"},
};

// clang-format on

TEST(ProtocolTableContents, BinarySetMatchesItsRows) { expectTables(built(1), kBinary, asListed); }

TEST(ProtocolTableContents, Q1SetAMatchesItsRows) { expectTables(built(2), kQ1A, asListed); }

TEST(ProtocolTableContents, Q1SetBMatchesItsRows) { expectTables(built(3), kQ1B, asListed); }

TEST(ProtocolTableContents, Q1SetCIsSetBWithTheLongerStatusReply) {
  std::vector<Row> rows = kQ1B;
  rows[1] = kQ1CStatus;
  expectTables(built(4), rows, asListed);
}

TEST(ProtocolTableContents, TwoLetterSetMatchesItsRowsWithEachModelsPollFlags) {
  // One tables object for all models, so a flag left over from the
  // previous model would show.
  ProtocolTables tables;
  for (int protocol : {5, 6, 7, 8, 9, 5}) {
    SCOPED_TRACE("protocol " + std::to_string(protocol));
    int family = 0, variant = 0;
    buildProtocolTables(protocol, tables, family, variant, nullptr);
    const std::vector<std::string_view>& skipped = kTwoLetterSkipped[protocol - 5];
    expectTables(tables, kTwoLetter, [&](const Row& row) {
      bool skip = row.position[0] != '4' &&
                  std::find(skipped.begin(), skipped.end(), row.command) != skipped.end();
      return skip ? 0 : row.poll;
    });
  }
}

}  // namespace
}  // namespace orvik
