#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "cgi/kestrel_test_support.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

class ConfigurationPages : public KestrelTest {
 protected:
  void addEntry(int action, int month, int day, int year) {
    post("page=33&val=999",
         "actSelName=" + std::to_string(action) + "&monthSelName=" + std::to_string(month) +
             "&daySelName=" + std::to_string(day) + "&yrSelName=" + std::to_string(year) +
             "&hourSelName=8&minSelName=5&secSelName=0&freqSelName=3"
             "&addSchName=+Add+");
  }
};

const std::string kChangeTo = "\n<td><font class=\"itemData\">|&nbsp;change to:&nbsp;</font>";

TEST_F(ConfigurationPages, UpsParametersTakeOnlyWhatTheirCapabilityAllows) {
  Param& volt = record().confInVolt;
  volt = Param{220, 4, {220, 230, 240, 0}};
  record().confOutVolt = Param{kNotAvailable, 0, {}};
  record().confOutFreq = Param{500, -1, {450, 550}};
  record().confInFreq = Param{500, 0, {}};
  struct Case {
    const char* body;
    int inVolt, outVolt, outFreq, inFreq;
  } cases[] = {
      {"confInVolt=230", 230, -2, 500, 500},
      {"confInVolt=235", 230, -2, 500, 500},
      {"confInVolt=0", 0, -2, 500, 500},     // the fourth allowed value
      {"confOutVolt=230", 0, -2, 500, 500},  // not reported: ignored
      {"confOutFreq=449&confInFreq=-7", 0, -2, 500, -7},
      {"confOutFreq=550&confInVolt=99999", 0, -2, 550, -7},
  };
  for (const Case& c : cases) {
    const std::size_t before = sockets_.sent().size();
    post("page=31", std::string(c.body) + "&apply=+Apply");
    EXPECT_EQ(loadField(volt.value), c.inVolt) << c.body;
    EXPECT_EQ(loadField(record().confOutVolt.value), c.outVolt) << c.body;
    EXPECT_EQ(loadField(record().confOutFreq.value), c.outFreq) << c.body;
    EXPECT_EQ(loadField(record().confInFreq.value), c.inFreq) << c.body;
    EXPECT_EQ(datagramsSince(before), "");
  }
}

TEST_F(ConfigurationPages, AudibleAlarmOffersTheChoicesOfItsCapability) {
  record().confLowBatt = Param{0, 0, {}};
  struct Case {
    int capability, value;
    std::string shown, options;
  } cases[] = {
      {2, 3, "&nbsp;Muted", ""},
      {3, 2, "&nbsp;Enabled",
       "\n<option value=\"1\">Disabled</option>\n<option value=\"2\" selected>Enabled</option>"
       "\n<option value=\"3\">Muted</option>"},
      {2, 1, "&nbsp;Disabled",
       "\n<option value=\"1\" selected>Disabled</option>\n<option value=\"2\">Enabled</option>"},
      {3, -2, "", ""},
  };
  for (const Case& c : cases) {
    record().confAudible =
        Param{static_cast<int16_t>(c.value), static_cast<int16_t>(c.capability), {1, 2, 3}};
    const std::string page = get("page=31");
    SCOPED_TRACE(std::to_string(c.capability) + "/" + std::to_string(c.value));
    EXPECT_TRUE(has(page, "Audible Alarm:&nbsp;</font></td>\n<td nowrap><font class=\"itemData\">" +
                              c.shown + "</font></td>" + kChangeTo +
                              "<select class=\"ctrlSelect\" size=\"1\" name=\"confAudible\">" +
                              c.options + "\n</select></td>"));
    EXPECT_FALSE(has(page, "Low Batt Time"));
  }
}

TEST_F(ConfigurationPages, EventApplyClearsTheFlagsThatWereNotPosted) {
  EventAction& failure = record().eventActionsEven[1];
  ASSERT_EQ(reinterpret_cast<char*>(&failure) - reinterpret_cast<char*>(&record()), 3168);
  failure.logEnable = failure.mailEnable = failure.pageEnable = 1;
  failure.executeEnable = failure.shutEnable = 1;
  post("page=32&val=102", "bnmEnable=0&bnmDelay=70000&mailUsers=ops%40example.org&bnmMessage=" +
                              std::string(200, 'm') + "&eventApplyBtn=+Apply");
  EXPECT_EQ(failure.bnmEnable, 1);
  for (int flag : {failure.logEnable, failure.mailEnable, failure.pageEnable, failure.executeEnable,
                   failure.shutEnable}) {
    EXPECT_EQ(flag, 0);
  }
  EXPECT_EQ(failure.bnmDelay, 32767);
  EXPECT_EQ(readText(failure.mailUsers), "ops@example.org");
  EXPECT_EQ(readText(failure.bnmMessage), std::string(99, 'm'));
  EXPECT_EQ(datagramsSince(0), "8828:4096,0");

  // The selection form posts "Power restore", the record at 39232.
  record().eventActionsOdd[1].logEnable = 1;
  const std::string page = post("page=32", "eventSelect=203&eventSelBtn=+Select");
  EXPECT_TRUE(has(page, "action=\"/cgi-bin/kestrel.exe?page=32&val=203&\""));
  for (const char* section : {"Log", "Broadcast network message", "Send email", "Page users",
                              "Execute command", "Shutdown"}) {
    EXPECT_TRUE(has(page, std::string("&nbsp;Power restore - ") + section + "</font>"));
  }
  EXPECT_TRUE(has(page, "name=\"logEnable\" value=0 size=\"4\" CHECKED></font>"));
  EXPECT_EQ(record().eventActionsOdd[1].logEnable, 1) << "selecting changes nothing";
  // An event the list does not hold shows the list.
  for (const char* query : {"page=32&val=1702", "page=32&val=-102", "page=32&val=99"}) {
    EXPECT_TRUE(has(get(query),
                    "name=\"eventSelect\" size=\"12\">\n<option value=102>Power "
                    "failure\n<option value=203>"))
        << query;
  }
}

TEST_F(ConfigurationPages, ScheduleAddsReplacesAndRemovesEntries) {
  EXPECT_FALSE(has(get("page=33&val=999"), "editSchName"));
  addEntry(1, 12, 6, 2006);
  addEntry(2, 1, 1, 2030);
  addEntry(21, 2, 29, 2028);
  ASSERT_EQ(loadField(record().scheduleCount), 3);
  std::string page = get("page=33&val=999");
  EXPECT_TRUE(has(page, "General System Test - Wednesday, 12 6, 2006, 8:5:0, Weekly"));
  EXPECT_TRUE(has(page, "Turn off ups - Tuesday, 2 29, 2028, 8:5:0, Weekly"));
  EXPECT_TRUE(has(page, "name=\"editSchName\" value=\"Replace\">"));
  const std::time_t now = std::time(nullptr);
  const std::string year = std::to_string(std::localtime(&now)->tm_year + 1900);
  EXPECT_TRUE(has(page, "\n<option value=" + year + " selected>" + year + "</option>"))
      << "a new entry can be made this year";

  // Editing entry 1 colours the form; Replace changes that entry only.
  EXPECT_TRUE(has(get("page=33&val=1"), "bgcolor=\"#AEFDE6\""));
  post("page=33&val=1", "actSelName=11&yrSelName=2031&editSchName=Replace");
  EXPECT_EQ(loadField(record().schedule[1].action), 11);
  EXPECT_EQ(loadField(record().schedule[1].year), 2031);
  post("page=33&val=7", "actSelName=3&editSchName=Replace");  // beyond the list
  EXPECT_EQ(loadField(record().scheduleCount), 3);

  // Removing the second: the third moves up; the form then offers a new entry.
  page = get("page=33&val=-2");
  EXPECT_EQ(loadField(record().scheduleCount), 2);
  EXPECT_EQ(loadField(record().schedule[1].action), 21);
  EXPECT_EQ(loadField(record().schedule[1].weekday), 3);
  EXPECT_TRUE(has(page, "action=\"/cgi-bin/kestrel.exe?page=33&val=999&\""));
  for (const char* outside : {"page=33&val=-3", "page=33&val=-2147483648"}) {
    get(outside);
    EXPECT_EQ(loadField(record().scheduleCount), 2) << outside;
  }

  // A full schedule takes no more.
  storeField(record().scheduleCount, kScheduleCapacity);
  addEntry(1, 1, 1, 2030);
  EXPECT_EQ(loadField(record().scheduleCount), kScheduleCapacity);
}

}  // namespace
}  // namespace orvik
