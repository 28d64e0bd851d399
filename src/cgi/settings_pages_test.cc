#include <gtest/gtest.h>

#include <string>

#include "cgi/kestrel_test_support.h"
#include "shared/file_replace.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

class SettingsPages : public KestrelTest {
 protected:
  std::string snmpFile() {
    std::string text;
    readWholeFile((folder_ / "snmpd.conf").string(), &text);
    return text;
  }
};

TEST_F(SettingsPages, PostedFormsReachTheRecordAndTheService) {
  storeField(record().outletCount, 2);
  storeField(record().autoSave, 1);
  post("page=21", "idName=Rack+7+%3Cb%3E&attDevice=" + std::string(100, 'x') + "&apply=+Apply");
  EXPECT_EQ(readText(record().idName), "Rack 7 <b>");
  EXPECT_EQ(readText(record().attDevice), std::string(63, 'x'));
  EXPECT_EQ(datagramsSince(0), "8828:4096,0");
  EXPECT_TRUE(has(get("page=21"), "name=\"idName\" size=\"28\" value=\"Rack 7 &lt;b&gt;\">"));

  // COM3 is index 2, COM9 8; too short a value changes nothing.
  const std::pair<const char*, int> ports[] = {{"COM3", 2}, {"COM9", 8},           {"COM", 8},
                                               {"", 8},     {"COM-2147483648", 8}, {"COM1", 0}};
  for (const auto& [value, stored] : ports) {
    const std::size_t before = sockets_.sent().size();
    post("page=22", std::string("upsport=") + value + "&pageport=" + value + "&apply=+Apply");
    EXPECT_EQ(loadField(record().upsport), stored) << value;
    EXPECT_EQ(loadField(record().pageport), stored) << value;
    EXPECT_EQ(datagramsSince(before), "8828:4118,0");
  }
  storeField(record().upsport, 2);
  const std::string page22 = get("page=22");
  EXPECT_TRUE(has(page22,
                  "name=\"upsport\">\n<option>COM1</option>\n<option>COM2</option>"
                  "\n<option selected>COM3</option>\n<option>COM4</option>"));
}

TEST_F(SettingsPages, ShutdownFormClearsAutoSaveAndOutletFormFillsOutlets) {
  storeField(record().outletCount, 2);
  storeField(record().autoSave, 1);
  post("page=24", "systemDelay=-5&shutDepend=a%3Bb%3B&outletDescr1=x&applyShutdown=+Apply");
  EXPECT_EQ(loadField(record().autoSave), 0);
  EXPECT_EQ(loadField(record().systemDelay), -5);
  EXPECT_EQ(readText(record().shutDepend), "a;b;");
  EXPECT_EQ(readText(record().outlets[0].outletDescr), "") << "not the outlet form";

  post("page=24", "autoSave=1&upsDelay=99999&applyShutdown=+Apply");
  EXPECT_EQ(loadField(record().autoSave), 1);
  EXPECT_EQ(loadField(record().upsDelay), 32767) << "a huge delay saturates";

  post("page=24",
       "systemDelay=7&outletDescr2=Server&outletShutdownDelay2=30&outletShutdownDepend2=h1%3B"
       "&outletDescr3=none&applyOutlet=+Apply");
  EXPECT_EQ(loadField(record().systemDelay), -5);
  EXPECT_EQ(readText(record().outlets[1].outletDescr), "Server");
  EXPECT_EQ(loadField(record().outlets[1].outletShutdownDelay), 30);
  EXPECT_EQ(readText(record().outlets[1].outletShutdownDepend), "h1;");
  EXPECT_EQ(readText(record().outlets[2].outletDescr), "") << "outlet 3 is not there";

  const std::string page = get("page=24");
  EXPECT_TRUE(has(page,
                  "name=\"systemDelay\" size=\"20\" value=\"-5\"><font "
                  "class=\"itemData\">seconds</font></td>"));
  EXPECT_TRUE(has(page, "&nbsp;Outlet 2 Settings") && !has(page, "&nbsp;Outlet 3 Settings"));
  storeField(record().outletCount, 0);
  const std::string bare = get("page=24");
  EXPECT_FALSE(has(bare, "Outlet 1 Settings") || has(bare, "applyOutlet"));
}

TEST_F(SettingsPages, SnmpFileListsAddsAndRemovesEntriesKeepingOtherLines) {
  const std::string comment = "# rwcommunity x\n";
  writeFile("snmpd.conf", comment + "rwcommunity  public\ntrapsink 10.0.0.1\n");
  std::string page = get("page=23");
  EXPECT_TRUE(has(page,
                  "\n<option value=\"0\">** community name **</option>"
                  "\n<option value=\"01\">public</option>\n</select>"));
  EXPECT_TRUE(has(page, "\n<option value=\"01\">10.0.0.1\n</select>"));

  struct Step {
    const char* body;
    const char* file;  // after the comment line
    bool refused;
  } steps[] = {
      {"CmName=private&CmAdd=+Add", "rwcommunity  public\nrwcommunity private\ntrapsink 10.0.0.1\n",
       false},
      {"TrpName=10.0.0.2&TrpAdd=+Add",
       "rwcommunity  public\nrwcommunity private\ntrapsink 10.0.0.1\ntrapsink 10.0.0.2\n", false},
      {"TrpName=10.0.0.3&TrpAdd=+Add",
       "rwcommunity  public\nrwcommunity private\ntrapsink 10.0.0.1\ntrapsink 10.0.0.2\n"
       "trapsink 10.0.0.3\n",
       false},
      {"TrpSelect=01&TrpSelect=02&TrpRemove=Remove",
       "rwcommunity  public\nrwcommunity private\ntrapsink 10.0.0.3\n", false},
      {"CmSelect=1&CmRemove=Remove", "rwcommunity private\ntrapsink 10.0.0.3\n", false},
      {"CmSelect=7&CmRemove=Remove", "rwcommunity private\ntrapsink 10.0.0.3\n", false},
      {"CmName=a%0Dtrapsink+evil&CmAdd=+Add", "rwcommunity private\ntrapsink 10.0.0.3\n", true},
      {"TrpName=h+%23c&TrpAdd=+Add", "rwcommunity private\ntrapsink 10.0.0.3\n", true},
      {"CmName=+++&CmAdd=+Add", "rwcommunity private\ntrapsink 10.0.0.3\n", false},
      {"CmName=x&CmRemove=Remove", "rwcommunity private\ntrapsink 10.0.0.3\n", false},
  };
  for (const Step& step : steps) {
    const std::size_t before = sockets_.sent().size();
    page = post("page=23", step.body);
    EXPECT_EQ(snmpFile(), comment + step.file) << step.body;
    EXPECT_EQ(has(page, "Data Entry Error"), step.refused) << step.body;
    EXPECT_EQ(datagramsSince(before), "8828:4096,0");
  }

  // With no file, the first receiver is the file's only line.
  std::filesystem::remove(folder_ / "snmpd.conf");
  post("page=23", "TrpName=127.0.0.1%3A1162&TrpAdd=+Add");
  EXPECT_EQ(snmpFile(), "trapsink 127.0.0.1:1162\n");
  writeFile("snmpd.conf", "agentaddress udp:161");  // no line end
  post("page=23", "TrpName=h&TrpAdd=+Add");
  EXPECT_EQ(snmpFile(), "agentaddress udp:161\ntrapsink h\n");
}

}  // namespace
}  // namespace orvik
