#include <gtest/gtest.h>

#include <string>

#include "cgi/kestrel_test_support.h"
#include "shared/file_replace.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

class SystemPages : public KestrelTest {
 protected:
  std::string file(const char* name) {
    std::string text;
    return readWholeFile((folder_ / name).string(), &text) ? text : "(missing)";
  }
};

const std::string kAccess = "[/]\nadmin=old\n[/java]\nall=*\n[/help]\nall=*\n";
const char kRejected[] =
    "\n<font class=\"counter\" color=>&nbsp;Data Entry Error: User or password incorrect&nbsp;"
    "</font>";
const char kChanged[] =
    "\n<font class=\"counter\" color=>&nbsp;User account was changed&nbsp;</font>";

TEST_F(SystemPages, ControlPagesSendTestAndOutletCommands) {
  std::string page = post("page=51", "tstups=Initial+Self+Test");
  EXPECT_EQ(datagramsSince(0), "8828:369,1");
  EXPECT_TRUE(has(page, "<BODY>\n<meta http-equiv=\"refresh\" content=\"1\">\n<table"));
  storeField(record().testResultsSummary, 5);
  page = get("page=51");
  EXPECT_TRUE(has(page,
                  "<font class=\"itemData\">Test In Progress</font></td>\n<meta "
                  "http-equiv=\"refresh\" content=\"3\">"));
  EXPECT_FALSE(has(page, "Outlets"));

  post("page=51", "cycthepwr=300&cycleExec=Go");
  EXPECT_EQ(loadField(record().rebootWithDuration.value), 300);
  EXPECT_EQ(loadField(record().shutdownAfterDelay.value), 10);

  storeField(record().outletCount, 2);
  storeField(record().outlets[1].outletState, 1);
  const std::size_t before = sockets_.sent().size();
  post("page=52", "Outlet+2=Outlet+2");
  storeField(record().outlets[1].outletState, 0);
  page = post("page=52", "Outlet+2=Outlet+2");
  post("page=52", "Outlet+3=Outlet+3");  // not there
  EXPECT_EQ(datagramsSince(before), "8828:66145,1 8828:66145,65537");
  EXPECT_TRUE(has(page, "value=\"Outlet 2\" name=\"Outlet 2\"></td>"));
  EXPECT_TRUE(has(page, "<font class=\"itemData\">OFF</font>"));
}

TEST_F(SystemPages, UserPageWritesTheAccessFileOnlyForAStorableAccount) {
  writeFile("defaults.aut", kAccess);
  struct Case {
    std::string body;
    bool written;
  } cases[] = {
      {"UserName=&PwdName1=a&PwdName2=a&ApplyUser=+Apply", false},
      {"UserName=admin&PwdName1=a&PwdName2=b&ApplyUser=+Apply", false},
      {"UserName=ad%3Dmin&PwdName1=a&PwdName2=a&ApplyUser=+Apply", false},
      {"UserName=ad%3Amin&PwdName1=a&PwdName2=a&ApplyUser=+Apply", false},
      {"UserName=admin&PwdName1=a%0Ab&PwdName2=a%0Ab&ApplyUser=+Apply", false},
      {"UserName=admin&PwdName1=%5B%2F%5D&PwdName2=%5B%2F%5D&ApplyUser=+Apply", false},
      {"UserName=admin&PwdName1=a%00b&PwdName2=a&ApplyUser=+Apply", false},
      {"UserName=admin&PwdName1=" + std::string(64, 'p') + "&PwdName2=" + std::string(64, 'p') +
           "&ApplyUser=+Apply",
       false},
      {"UserName=admin&PwdName1=new&PwdName2=new", false},  // no apply button
  };
  for (const Case& c : cases) {
    const std::string page = post("page=61", c.body);
    EXPECT_EQ(file("defaults.aut"), kAccess) << c.body;
    EXPECT_EQ(has(page, kRejected), c.body.find("ApplyUser") != std::string::npos) << c.body;
  }
  EXPECT_EQ(datagramsSince(0), "");

  // Equal entries, also both empty, replace the file and notify port 8881 once.
  std::string page = post("page=61", "UserName=root&PwdName1=&PwdName2=&ApplyUser=+Apply");
  EXPECT_EQ(file("defaults.aut"), "[/]\nroot=\n[/java]\nall=*\n[/help]\nall=*\n");
  EXPECT_EQ(datagramsSince(0), "8881:4660,22136");
  EXPECT_TRUE(has(page, "name=\"UserName\" size=\"28\" value=\"root\">"));
  EXPECT_FALSE(has(page, kRejected) || has(page, kChanged));
  page = post("page=199", "UserName=op&PwdName1=s%3Ae+cret&PwdName2=s%3Ae+cret&ApplyUser=+Apply");
  EXPECT_EQ(file("defaults.aut"), "[/]\nop=s:e cret\n[/java]\nall=*\n[/help]\nall=*\n");
  EXPECT_TRUE(has(page, kChanged));
  EXPECT_TRUE(has(page, "<font class=\"menu\">System</font>") && !has(page, "Links"));
  // Page 200 in Windows-1251: "Учетная запись пользователя была изменена".
  page = post("page=200", "UserName=op&PwdName1=x&PwdName2=x&ApplyUser=+Apply");
  EXPECT_TRUE(has(page, "&nbsp;\xD3\xF7\xE5\xF2\xED\xE0\xFF \xE7\xE0\xEF\xE8\xF1\xFC"));
  EXPECT_LT(page.find("charset=windows-1251"), 1024u);

  // A file the page cannot replace: nothing is sent, and no success shown.
  std::filesystem::remove(folder_ / "defaults.aut");
  std::filesystem::create_directory(folder_ / "defaults.aut");
  const std::size_t before = sockets_.sent().size();
  page = post("page=199", "UserName=op&PwdName1=y&PwdName2=y&ApplyUser=+Apply");
  EXPECT_FALSE(has(page, kChanged));
  EXPECT_EQ(datagramsSince(before), "");
}

TEST_F(SystemPages, LinksPageKeepsSixLines) {
  writeFile("link.cfg", "host1\r\nOne\nhost2\n");
  std::string page = get("page=64");
  EXPECT_TRUE(has(page, "name=\"Link2Desc\" size=\"28\" value=\"\">"));
  post("page=64", "Link2Desc=Two&Link3Name=" + std::string(80, 'h') + "&ApplyLink=+Apply");
  EXPECT_EQ(file("link.cfg"), "host1\nOne\nhost2\nTwo\n" + std::string(63, 'h') + "\n\n");
  page = post("page=64", "Link1Name=a%0D%0Ab&Link1Desc=x&ApplyLink=+Apply");
  EXPECT_EQ(file("link.cfg"), "host1\nOne\nhost2\nTwo\n" + std::string(63, 'h') + "\n\n");
  EXPECT_TRUE(has(page, "Data Entry Error"));
  EXPECT_TRUE(has(page,
                  "\n<a href=\"http://host2:9982\" class=\"menu\" target=\"_new\">"
                  "\n<font class=\"itemTitle\">Two</font></a></td>"));
}

TEST_F(SystemPages, PostFromAnotherSiteChangesNothing) {
  struct Case {
    std::map<std::string, std::string> headers;
    bool refused;
  } cases[] = {
      {{{"HTTP_HOST", "127.0.0.1:8080"}, {"HTTP_ORIGIN", "http://evil.example"}}, true},
      {{{"HTTP_HOST", "127.0.0.1:8080"}, {"HTTP_ORIGIN", "http://127.0.0.1:9090"}}, true},
      {{{"HTTP_HOST", "127.0.0.1:8080"}, {"HTTP_ORIGIN", "null"}}, true},
      {{{"HTTP_HOST", "ups.lan"}, {"HTTP_REFERER", "http://ups.lan.evil.example/x"}}, true},
      {{{"HTTP_ORIGIN", "http://127.0.0.1:8080"}}, true},  // no Host to compare with
      {{{"HTTP_HOST", "127.0.0.1:8080"}, {"HTTP_ORIGIN", "http://127.0.0.1:8080"}}, false},
      {{{"HTTP_HOST", "UPS.lan"}, {"HTTP_REFERER", "http://a:b@ups.lan:80/cgi-bin/x?page=21"}},
       false},
      {{{"HTTP_HOST", "[::1]:8080"}, {"HTTP_ORIGIN", "http://[::1]:8080"}}, false},
      {{{"HTTP_HOST", "127.0.0.1:8080"}}, false},  // a client that sends neither
  };
  for (const Case& c : cases) {
    headers_ = c.headers;
    setText(record().idName, "before");
    const std::size_t before = sockets_.sent().size();
    const std::string response = post("page=21", "idName=after&apply=+Apply");
    const std::string what = c.headers.begin()->second + " " + c.headers.rbegin()->second;
    EXPECT_EQ(readText(record().idName), c.refused ? "before" : "after") << what;
    EXPECT_EQ(response.rfind("Status: 403 Forbidden\n", 0) == 0, c.refused) << what;
    EXPECT_EQ(sockets_.sent().size() - before, c.refused ? 0u : 1u) << what;
  }
  headers_ = {{"HTTP_HOST", "127.0.0.1:8080"}, {"HTTP_ORIGIN", "http://evil.example"}};
  EXPECT_TRUE(has(get("page=21"), "idName")) << "a GET changes nothing and is answered";
}

}  // namespace
}  // namespace orvik
