#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "cgi/kestrel_test_support.h"
#include "shared/control_datagram.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

class LogPages : public KestrelTest {
 protected:
  // n event lines; line i says "Event i".
  void writeEventLog(int n) {
    std::string log;
    for (int i = 1; i <= n; ++i) {
      char line[80];
      std::snprintf(line, sizeof line, "001  08/12/2026  09:%02d:%02d  [%-40s]\r\n", i / 60, i % 60,
                    ("Event " + std::to_string(i)).c_str());
      log += line;
    }
    writeFile("kestrel.log", log);
  }
};

std::string range(const std::string& text) {
  return "\n<font class=\"itemTitle\">" + text + "</font></td>";
}
std::string linked(int item, const std::string& text) {
  return "\n<a href=\"/cgi-bin/kestrel.exe?page=41&item=" + std::to_string(item) +
         "&\" class=\"menu\">\n<font class=\"itemName\">" + text + "</font></a></td>";
}
std::string unlinked(const std::string& text) {
  return "\n<font class=\"itemName\">" + text + "</font></td>";
}

TEST_F(LogPages, EventLogPagesByFifteenFromTheLastPage) {
  struct Case {
    int lines;
    const char* query;
    const char* range;
    int first, last;     // lines shown; 0 for none
    int previous, next;  // items linked; 0 for no link
  } cases[] = {
      {31, "page=41", "31-31/31", 31, 31, 16, 0},
      {31, "page=41&item=1", "1-15/31", 1, 15, 0, 16},
      {31, "page=41&item=16", "16-30/31", 16, 30, 1, 31},
      {31, "page=41&item=9&item=2", "9-23/31", 9, 23, 0, 24},  // the first "item"
      {30, "page=41", "16-30/30", 16, 30, 1, 0},
      {15, "page=41", "1-15/15", 1, 15, 0, 0},
      {31, "page=41&item=40", "40-31/31", 0, 0, 25, 0},  // beyond the end: an empty table
      {31, "page=41&item=-7", "1-15/31", 1, 15, 0, 16},
      {0, "page=41", "0-0/0", 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.lines) + " lines, " + c.query);
    writeEventLog(c.lines);
    const std::string page = get(c.query);
    EXPECT_TRUE(has(page, range(c.range)));
    for (int i = 1; i <= c.lines; ++i) {
      char cell[48];
      std::snprintf(cell, sizeof cell, "&nbsp;%-40s&nbsp;", ("Event " + std::to_string(i)).c_str());
      EXPECT_EQ(has(page, cell), c.first != 0 && i >= c.first && i <= c.last) << i;
    }
    EXPECT_TRUE(has(
        page, c.previous ? linked(c.previous, "<< Previous Page") : unlinked("<< Previous Page")));
    EXPECT_TRUE(has(page, c.next ? linked(c.next, "Next Page >>") : unlinked("Next Page >>")));
  }
}

// The line reader's 80-byte buffer: a line of more than 79 bytes, "\r\n"
// included, is counted and shown as two pieces.
TEST_F(LogPages, EventRowsShowDateTimeAndTextOfEachPiece) {
  writeFile("kestrel.log", "001  08/12/2026  09:12:32  [Power failure" + std::string(27, ' ') +
                               "]\r\n002  08/12/2026  09:12:33  [" + std::string(70, 'y') +
                               "]\r\n");
  const std::string page = get("page=41");
  EXPECT_TRUE(has(page, range("1-3/3")));
  EXPECT_TRUE(has(page,
                  "\n<tr bgcolor=\"#EEF5FF\">\n<td nowrap><font class=\"itemData\">&nbsp;08/12/2026"
                  "  09:12:32&nbsp;</font></td>\n<td nowrap=\"\"><font class=\"itemData\">&nbsp;"
                  "Power failure                           &nbsp;</font></td></tr>"));
  EXPECT_TRUE(has(page, "itemData\">&nbsp;" + std::string(14, 'y') + "]&nbsp;"));
}

TEST_F(LogPages, MissingLogShowsAnEmptyRowWithoutLinks) {
  const std::string page = get("page=41&item=16");
  EXPECT_TRUE(has(page, range("0-0/0")));
  const std::string empty = "\n<td nowrap=\"\"><font class=\"itemData\">&nbsp;&nbsp;</font></td>";
  EXPECT_TRUE(has(page, "\n<tr bgcolor=\"#EEF5FF\">" + empty + empty + "\n</tr>"));
  EXPECT_TRUE(has(page, unlinked("<< Previous Page")) && has(page, unlinked("Next Page >>")));
  const std::string data = get("page=42&item=5");
  EXPECT_TRUE(has(data, range("0-0/0")));
  EXPECT_FALSE(has(page + data, "item="));
}

TEST_F(LogPages, DataRowsAreCutByPositionAndShowVbatInVolts) {
  writeFile("kestrel.dat",
            "08/12/2026,09:12:32,230,229,0273,50.0,49.9,035,030,0x01000000\r\n"
            "08/12/2026,09:13:32,-02,-02,-020,-2.0,-2.0,-02,-02,0x01000002\r\n"
            "08/12/2026,09:14\r\n");
  const std::string page = get("page=42");
  EXPECT_TRUE(has(page, range("1-3/3")));
  auto cells = [](std::initializer_list<const char*> values) {
    std::string row = "\n<tr bgcolor=\"#EEF5FF\">";
    for (const char* v : values) {
      row += std::string("\n<td nowrap=\"\"><font class=\"itemData\">&nbsp;") + v +
             "&nbsp;</font></td>";
    }
    return row + "\n</tr>";
  };
  EXPECT_TRUE(has(page, cells({"08/12/2026", "09:12:32", "230", "229", "027.3", "50.0", "49.9",
                               "035", "030"})));
  EXPECT_TRUE(has(page, cells({"08/12/2026", "09:13:32", "-02", "-02", "-02.0", "-2.0", "-2.0",
                               "-02", "-02"})));
  // A line cut short shows what it has and empty cells for the rest.
  EXPECT_TRUE(has(page, cells({"08/12/2026", "09:14", "", "", "", "", "", "", ""})));
}

class LogSettings : public KestrelTest {
 protected:
  void SetUp() override {
    KestrelTest::SetUp();
    storeField(record().EvtFileLen, 32000);
    storeField(record().DataFileLen, 32000);
    storeField(record().DataInterval, 60);
  }
};

TEST_F(LogSettings, PostedValuesAreStoredWithinTheirLimits) {
  struct Case {
    const char* body;
    int evt, data, interval;
    bool error;
  } cases[] = {
      {"DataFileLen=5000&DataInterval=0&DataApply=Apply", 32000, 5000, 0, false},
      {"DataFileLen=5000&DataInterval=3601&DataApply=Apply", 32000, 5000, 60, true},
      {"DataFileLen=999&DataInterval=3600&DataApply=Apply", 32000, 32000, 3600, true},
      {"DataFileLen=2000001&DataApply=Apply", 32000, 32000, 60, true},
      {"EvtFileLen=999&EvtApply=Apply", 32000, 32000, 60, true},
      {"EvtFileLen=2000000&EvtApply=Apply", 2000000, 32000, 60, false},
      {"EvtFileLen=abc&EvtApply=Apply", 32000, 32000, 60, true},
      // Only the posted form's own fields count; the button is the last pair.
      {"EvtFileLen=5000&DataInterval=10&DataApply=Apply", 32000, 32000, 10, false},
      {"EvtApply=Apply&EvtFileLen=5000", 32000, 32000, 60, false},
  };
  for (const Case& c : cases) {
    SetUp();
    const std::size_t sentBefore = sockets_.sent().size();
    const std::string page = post("page=44", c.body);
    SCOPED_TRACE(c.body);
    EXPECT_EQ(loadField(record().EvtFileLen), c.evt);
    EXPECT_EQ(loadField(record().DataFileLen), c.data);
    EXPECT_EQ(loadField(record().DataInterval), c.interval);
    EXPECT_EQ(has(page,
                  "\n<font class=\"counter\" color=>&nbsp;Data Entry Error: File length or "
                  "interval time incorrect&nbsp;</font>"),
              c.error);
    // The form shows what is stored now.
    EXPECT_TRUE(has(
        page, "name=\"EvtFileLen\" size=\"20\" \t       value=\"" + std::to_string(c.evt) + "\">"));
    // The service is told to save, also after a rejected value.
    const auto sent = sockets_.sent();
    ASSERT_EQ(sent.size(), sentBefore + 1);
    EXPECT_EQ(sent.back().to.address, kLoopbackIpv4);
    EXPECT_EQ(sent.back().to.port, kControlPort);
    EXPECT_EQ(sent.back().bytes, (std::vector<uint8_t>{0, 0, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  }
  // A GET changes nothing and sends nothing.
  get("page=44&EvtFileLen=5000&EvtApply=Apply");
  EXPECT_EQ(loadField(record().EvtFileLen), 32000);
  EXPECT_EQ(sockets_.sent().size(), std::size(cases));
}

// The sender's diagnostics are part of the page, where the send happened.
TEST_F(LogSettings, FailedSaveNoticeShowsInThePageAndTheValueStaysStored) {
  sockets_.failOpens(1);
  const std::string page = post("page=44", "EvtFileLen=5000&EvtApply=Apply");
  EXPECT_TRUE(has(page, "<BODY>OpenSocket(), Can not open datagram socket.\n\n<table width="));
  EXPECT_EQ(loadField(record().EvtFileLen), 5000);
}

}  // namespace
}  // namespace orvik
