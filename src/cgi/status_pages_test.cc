#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "cgi/kestrel_test_support.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

std::string row(const std::string& label, const std::string& value, const std::string& unit) {
  return "\n<tr>\n<td width=\"45%\" background=\"/images/item_bg.gif\" nowrap>"
         "\n<font class=\"itemName\">&nbsp;" +
         label +
         "</font></td>"
         "\n<td nowrap><font class=\"itemData\">" +
         value +
         "</font></td>"
         "\n<td nowrap><font class=\"itemData\">" +
         unit + "</font></td>\n</tr>";
}

bool hasLabel(const std::string& page, const std::string& label) {
  return has(page, "&nbsp;" + label + "</font></td>");
}

class StatusPages : public KestrelTest {};

TEST_F(StatusPages, ValuesFollowTheirFormatRules) {
  struct Case {
    const char* page;
    const char* label;
    std::function<void(StatusRecord&)> set;
    const char* value;  // null: the row is left out
    const char* unit;
  } cases[] = {
      {"13", "Input Voltage", [](StatusRecord& r) { r.inputVoltage[0] = 230; }, "230", "Vac"},
      {"13", "Input Voltage", [](StatusRecord& r) { r.inputVoltage[0] = -2; }, "&nbsp;0", "Vac"},
      {"13", "Input Current", [](StatusRecord& r) { r.inputCurrent[0] = 0; }, nullptr, ""},
      {"13", "Input Current", [](StatusRecord& r) { r.inputCurrent[0] = 7; }, "7", "A"},
      {"13", "Input Frequency", [](StatusRecord& r) { r.inputFrequency[0] = 499; }, "49.9", "Hz"},
      {"13", "Input Frequency", [](StatusRecord& r) { r.inputFrequency[0] = 0; }, "&nbsp;0.0",
       "Hz"},
      {"13", "Output Voltage", [](StatusRecord& r) { r.outputVoltage[0] = 0; }, "&nbsp;0", "Vac"},
      {"13", "Output Current", [](StatusRecord& r) { r.outputCurrent[0] = -2; }, nullptr, ""},
      {"13", "Output Frequency", [](StatusRecord& r) { r.outputFrequency = 600; }, "60.0", "Hz"},
      {"13", "Battery Voltage", [](StatusRecord& r) { r.batteryVoltage = 273; }, "27.3", "Vdc"},
      {"13", "Battery Voltage", [](StatusRecord& r) { r.batteryVoltage = -2; }, "&nbsp;", "Vdc"},
      {"13", "Battery Voltage", [](StatusRecord& r) { r.batteryVoltage = -15; }, "-1.5", "Vdc"},
      {"13", "Battery Current", [](StatusRecord& r) { r.batteryCurrent = 0; }, nullptr, ""},
      {"13", "Battery Current", [](StatusRecord& r) { r.batteryCurrent = 12; }, "1.2", "A"},
      {"13", "Battery Temp.", [](StatusRecord& r) { r.batteryTemperature = -2; }, "&nbsp;",
       "degree C"},
      {"13", "Battery Temp.", [](StatusRecord& r) { r.batteryTemperature = -5; }, "-5", "degree C"},
      {"13", "Output Load", [](StatusRecord& r) { r.outputPercentLoad[0] = -2; }, "&nbsp;", "%"},
      {"13", "Output Load", [](StatusRecord& r) { r.outputPercentLoad[0] = 0; }, "0", "%"},
      {"12", "Input Voltage", [](StatusRecord& r) { r.confInVolt.value = 230; }, "230", "Vac"},
      {"12", "Input Frequency", [](StatusRecord& r) { r.confInFreq.value = 500; }, "50.0", "Hz"},
      {"12", "Input Frequency", [](StatusRecord& r) { r.confInFreq.value = -2; }, "&nbsp;0.0",
       "Hz"},
      {"12", "Output Voltage", [](StatusRecord& r) { r.confOutVolt.value = -2; }, "&nbsp;0", "Vac"},
      {"12", "Output Frequency", [](StatusRecord& r) { r.confOutFreq.value = 5; }, "0.5", "Hz"},
      {"12", "Output VA", [](StatusRecord& r) { r.configOutputVA = 1500; }, "1500", "VA"},
      {"12", "Output VA", [](StatusRecord& r) { r.configOutputVA = -2; }, nullptr, ""},
      {"12", "Output Watt", [](StatusRecord& r) { r.configOutputPower = 900; }, "900", "Watt"},
      {"12", "Output Watt", [](StatusRecord& r) { r.configOutputPower = 0; }, nullptr, ""},
      {"12", "Low voltage", [](StatusRecord& r) { r.lowTransferVoltage.value = 170; }, "170",
       "Vac"},
      {"12", "Low voltage", [](StatusRecord& r) { r.lowTransferVoltage.value = -2; }, nullptr, ""},
      {"12", "High voltage", [](StatusRecord& r) { r.highTransferVoltage.value = 280; }, "280",
       "Vac"},
      {"12", "High voltage", [](StatusRecord& r) { r.highTransferVoltage.value = 0; }, nullptr, ""},
  };
  for (const Case& c : cases) {
    record() = StatusRecord{};
    c.set(record());
    const std::string page = get(std::string("page=") + c.page);
    SCOPED_TRACE(std::string("page ") + c.page + " " + c.label);
    if (c.value == nullptr) {
      EXPECT_FALSE(hasLabel(page, c.label));
    } else {
      EXPECT_TRUE(has(page, row(c.label, c.value, c.unit)));
    }
  }
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
                  "&nbsp;&nbsp</font></td>\n<td nowrap><font class=\"itemData\">&nbsp;Kelvane"
                  "</font></td>\n</tr>"));
  for (const auto& [label, value] : {std::pair{"Model", "KV-1500"},
                                     {"Firmware Version", "2.31"},
                                     {"Id Name", "Rack A"},
                                     {"Attached", "NA"}}) {
    EXPECT_TRUE(has(page, std::string("&nbsp;") + label +
                              "</font></td>\n<td nowrap><font class=\"itemData\">&nbsp;" + value +
                              "</font></td>\n</tr>"))
        << label;
  }
  EXPECT_FALSE(hasLabel(page, "Serial Number"));
  EXPECT_TRUE(has(page, "<font class=\"itemTitle\">&nbsp;Identification Info</font>"));
  EXPECT_TRUE(has(page, "\n<p> </p>"));

  setText(record().serialNumber, "SN0042");
  page = get("page=11");
  EXPECT_TRUE(has(page,
                  "&nbsp;Serial Number</font></td>\n<td nowrap><font "
                  "class=\"itemData\">&nbsp;SN0042</font></td>"));
}

TEST_F(StatusPages, OnlyTheMeasuredPageReloadsItself) {
  const std::string refresh =
      "<BODY>\n<meta http-equiv=\"refresh\" content=5>\n<table width=\"768\"";
  EXPECT_TRUE(has(get("page=13"), refresh));
  EXPECT_FALSE(has(get("page=11"), "refresh"));
  EXPECT_FALSE(has(get("page=12"), "refresh"));
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
  const std::string identity = get("page=11");
  EXPECT_FALSE(has(identity, "Last Seen UPS"));
  EXPECT_TRUE(has(identity, "itemData\">&nbsp;</font>"));
  const std::string measured = get("page=13");
  EXPECT_TRUE(has(measured, row("Input Voltage", "&nbsp;0", "Vac")));
  EXPECT_TRUE(has(measured, row("Battery Voltage", "0.0", "Vdc")));

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
