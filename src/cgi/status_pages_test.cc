#include <gtest/gtest.h>

#include <string>

#include "cgi/kestrel_test_support.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

// A row's value cell, or "" when the row must be left out.
std::string valueCell(const std::string& page, const std::string& label) {
  const std::string key = "&nbsp;" + label + "</font></td>\n<td nowrap><font class=\"itemData\">";
  const std::size_t at = page.find(key);
  if (at == std::string::npos) return "";
  const std::size_t start = at + key.size();
  return page.substr(start, page.find("</font>", start) - start);
}

class StatusPages : public KestrelTest {};

// Two records: one with values the UPS reports, one with zeros and the
// not-available -2; each row as it must read with each.
TEST_F(StatusPages, ValuesFollowTheirFormatRules) {
  auto reported = [](StatusRecord& r) {
    r.inputVoltage[0] = 230, r.inputCurrent[0] = 7, r.inputFrequency[0] = 499;
    r.outputVoltage[0] = 231, r.outputCurrent[0] = 6, r.outputFrequency = 600;
    r.batteryVoltage = 273, r.batteryCurrent = 12, r.batteryTemperature = -5;
    r.outputPercentLoad[0] = 0;
    r.confInVolt.value = 230, r.confInFreq.value = 500, r.confOutVolt.value = 220;
    r.confOutFreq.value = 5, r.configOutputVA = 1500, r.configOutputPower = 900;
    r.lowTransferVoltage.value = 170, r.highTransferVoltage.value = 280;
  };
  auto missing = [](StatusRecord& r) {
    r.inputVoltage[0] = -2, r.inputCurrent[0] = 0, r.inputFrequency[0] = 0;
    r.outputVoltage[0] = 0, r.outputCurrent[0] = -2, r.outputFrequency = -2;
    r.batteryVoltage = -2, r.batteryCurrent = 0, r.batteryTemperature = -2;
    r.outputPercentLoad[0] = -2;
    r.confInVolt.value = 0, r.confInFreq.value = -2, r.confOutVolt.value = -2;
    r.confOutFreq.value = 0, r.configOutputVA = -2, r.configOutputPower = 0;
    r.lowTransferVoltage.value = -2, r.highTransferVoltage.value = 0;
  };
  struct Row {
    const char* page;
    const char* label;
    const char* whenReported;
    const char* whenMissing;  // "" for no row
  } rows[] = {
      {"13", "Input Voltage", "230", "&nbsp;0"},
      {"13", "Input Current", "7", ""},
      {"13", "Input Frequency", "49.9", "&nbsp;0.0"},
      {"13", "Output Voltage", "231", "&nbsp;0"},
      {"13", "Output Current", "6", ""},
      {"13", "Output Frequency", "60.0", "&nbsp;0.0"},
      {"13", "Battery Voltage", "27.3", "&nbsp;"},
      {"13", "Battery Current", "1.2", ""},
      {"13", "Battery Temp.", "-5", "&nbsp;"},
      {"13", "Output Load", "0", "&nbsp;"},
      {"12", "Input Voltage", "230", "&nbsp;0"},
      {"12", "Input Frequency", "50.0", "&nbsp;0.0"},
      {"12", "Output Voltage", "220", "&nbsp;0"},
      {"12", "Output Frequency", "0.5", "&nbsp;0.0"},
      {"12", "Output VA", "1500", ""},
      {"12", "Output Watt", "900", ""},
      {"12", "Low voltage", "170", ""},
      {"12", "High voltage", "280", ""},
  };
  for (const bool isReported : {true, false}) {
    record() = StatusRecord{};
    isReported ? reported(record()) : missing(record());
    const std::string page12 = get("page=12"), page13 = get("page=13");
    for (const Row& row : rows) {
      const std::string& page = std::string(row.page) == "12" ? page12 : page13;
      EXPECT_EQ(valueCell(page, row.label), isReported ? row.whenReported : row.whenMissing)
          << "page " << row.page << ", " << row.label << (isReported ? "" : ", missing");
    }
  }
  // Units follow the value; a tenths value below zero carries its sign once.
  storeField(record().batteryVoltage, -15);
  EXPECT_TRUE(has(get("page=13"),
                  "&nbsp;Battery Voltage</font></td>\n<td nowrap><font "
                  "class=\"itemData\">-1.5</font></td>\n<td nowrap><font "
                  "class=\"itemData\">Vdc</font></td>\n</tr>"));
}

TEST_F(StatusPages, IdentificationShowsTheTextsAndTheSerialNumberOnlyWhenKnown) {
  setText(record().manufacturer, "Kelvane");
  setText(record().model, "KV-1500");
  setText(record().upsSoftwareVersion, "2.31");
  setText(record().idName, "Rack A");
  setText(record().attDevice, "NA");
  std::string page = get("page=11");
  EXPECT_TRUE(has(page,
                  "\n<font class=\"itemName\">&nbsp;Manufacturer&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;"
                  "&nbsp;&nbsp</font></td>\n<td nowrap><font class=\"itemData\">&nbsp;Kelvane"));
  EXPECT_EQ(valueCell(page, "Model"), "&nbsp;KV-1500");
  EXPECT_EQ(valueCell(page, "Firmware Version"), "&nbsp;2.31");
  EXPECT_EQ(valueCell(page, "Id Name"), "&nbsp;Rack A");
  EXPECT_EQ(valueCell(page, "Attached"), "&nbsp;NA");
  EXPECT_FALSE(has(page, "Serial Number"));
  EXPECT_TRUE(has(page, "<font class=\"itemTitle\">&nbsp;Identification Info</font>"));

  setText(record().serialNumber, "SN0042");
  EXPECT_EQ(valueCell(get("page=11"), "Serial Number"), "&nbsp;SN0042");
}

TEST_F(StatusPages, OnlyTheMeasuredPageReloadsItself) {
  EXPECT_TRUE(has(get("page=13"), "<BODY>\n<meta http-equiv=\"refresh\" content=5>\n<table "));
  EXPECT_FALSE(has(get("page=11") + get("page=12"), "refresh"));
}

// A killed service leaves its block behind with the service-running bit set
// and its last values; the pages must not show them as live.
TEST_F(StatusPages, RecordOfAServiceThatIsGoneIsNotShown) {
  setText(record().manufacturer, "Last Seen UPS");
  record().inputVoltage[0] = 231;
  record().alarmFlags = 1u << kServiceRunningBit;
  EXPECT_TRUE(has(get("page=11"), "Last Seen UPS"));

  service_.reset();  // the owner is gone; the name stays
  ASSERT_TRUE(memory_.exists(kRecordName));
  EXPECT_FALSE(has(get("page=11"), "Last Seen UPS"));
  EXPECT_EQ(valueCell(get("page=13"), "Input Voltage"), "&nbsp;0");
  // A posted setting goes nowhere, as with no record at all.
  post("page=44", "EvtFileLen=5000&EvtApply=Apply");
  auto stale = memory_.openExisting(kRecordName, kRecordSize);
  EXPECT_EQ(static_cast<StatusRecord*>(stale->data())->EvtFileLen, 0);
}

TEST_F(StatusPages, RecordThatMayNotBeOpenedShowsTheNoSharedMemoryPage) {
  memory_.refuseOpen = true;
  EXPECT_EQ(get("page=13"),
            "Content-type: text/html\n\n<HTML>\n<HEAD>\n\n<TITLE>Kelvane Device Manager</TITLE>"
            "\n<link href=\"/en/orvikpw.css\" rel=stylesheet>\n\n</HEAD>\n<BODY>Can't found share "
            "memory\n</BODY></HTML>");
}

}  // namespace
}  // namespace orvik
