#include "cgi/page_frame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cgi/kestrel_test_support.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

class PageFrame : public KestrelTest {};

std::string tabLink(int page, const char* text) {
  return "\n<a href=\"/cgi-bin/kestrel.exe?page=" + std::to_string(page) + "&\" class=\"menu\">" +
         text + "</a></td>";
}

std::string subLink(const char* query, const char* text) {
  return std::string("\n<a href=\"/cgi-bin/kestrel.exe?") + query + "\" class=\"link\">" + text +
         "</a></td>";
}

std::string separator(const char* image) {
  return std::string("<img src=\"/images/") + image + "\" width=\"22\" height=\"38\"";
}

TEST_F(PageFrame, TabsAndSubPagesLeadWhereTheyBelong) {
  struct Case {
    int page;
    const char* logo;
    const char* currentTab;
    std::vector<std::string> links;
    std::vector<std::string> absent;
  } cases[] = {
      {11,
       "logo1.gif",
       "Home",
       {tabLink(21, "Settings"), tabLink(31, "Configuration"), tabLink(41, "Log"),
        tabLink(51, "Control"), tabLink(61, "System"),
        subLink("page=12&", "Configuration Information"),
        subLink("page=13&", "Measured Informataion"),
        "<font class=\"link\">Identification  Information</font>", separator("menu10.gif")},
       {tabLink(11, "Home"), separator("menu01.gif")}},
      {13,
       "logo1.gif",
       "Home",
       {subLink("page=11&", "Identification Information"),
        "<font class=\"link\">Measured Informataion</font>"},
       {}},
      {41,
       "logo0.gif",
       "Log",
       {tabLink(11, "Home"), tabLink(31, "Configuration"), tabLink(51, "Control"),
        subLink("page=42&", "Data Log"), subLink("page=44&", "Log Settings"),
        "<font class=\"link\">Event Log</font>", separator("menu01.gif"), separator("menu10.gif")},
       {tabLink(41, "Log"), "Identification"}},
      {44,
       "logo0.gif",
       "Log",
       {subLink("page=41&", "Event Log"), subLink("page=42&", "Data Log"),
        "<font class=\"link\">Log Settings</font>"},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("page " + std::to_string(c.page));
    const std::string page = get("page=" + std::to_string(c.page));
    EXPECT_TRUE(has(page, std::string("background=\"/images/") + c.logo + "\"><img src=\"/images/" +
                              c.logo + "\""));
    EXPECT_TRUE(has(page, std::string("background=\"/images/menu1.gif\" align=\"center\" nowrap>"
                                      "<font class=\"menu\">") +
                              c.currentTab + "</font></td>"));
    for (const std::string& link : c.links) EXPECT_TRUE(has(page, link)) << link;
    for (const std::string& text : c.absent) EXPECT_FALSE(has(page, text)) << text;
    EXPECT_TRUE(has(page, separator("menu02.gif")));
    EXPECT_TRUE(has(page, "\n<a target=help href=\"/help/index.htm\"><img name=\"helpBtn\""));
    EXPECT_TRUE(has(page, "\n<td width=\"729\">&nbsp;</td>"));
    EXPECT_TRUE(has(page, "btmright.gif"));
  }
}

TEST_F(PageFrame, LinksBlockShowsTheLinkFileOrThreeEmptyLinks) {
  const std::string emptyLink =
      "\n<a href=\"http://:9982\" class=\"menu\" target=\"_new\">"
      "\n<font class=\"itemTitle\"></font></a></td>";
  std::string page = get("page=11");
  EXPECT_TRUE(has(page, "<font class=\"menu\">&nbsp;Links</font>"));
  std::size_t count = 0;
  for (std::size_t at = page.find(emptyLink); at != std::string::npos;
       at = page.find(emptyLink, at + 1)) {
    ++count;
  }
  EXPECT_EQ(count, 3u);

  writeFile("link.cfg", "ups1.example\r\nFirst UPS\nups2\nSecond\n" + std::string(70, 'h') + "\n" +
                            std::string(63, 't'));
  page = get("page=12");
  EXPECT_TRUE(has(page,
                  "\n<a href=\"http://ups1.example:9982\" class=\"menu\" target=\"_new\">"
                  "\n<font class=\"itemTitle\">First UPS</font></a></td>"));
  EXPECT_TRUE(has(page,
                  "<a href=\"http://ups2:9982\" class=\"menu\" target=\"_new\">"
                  "\n<font class=\"itemTitle\">Second</font></a></td>"));
  EXPECT_TRUE(has(page, "<a href=\"http://" + std::string(63, 'h') + ":9982\""));
  EXPECT_TRUE(has(page, ">" + std::string(63, 't') + "</font></a></td>"));
}

TEST_F(PageFrame, ControlUpsListsOutletsOnlyWhileThereAreOutlets) {
  // Pages 51 and 52 come later; their frame is here already.
  const Request request;
  PageWriter out;
  DatagramSender sender(sockets_);
  PageContext context{record(), request, out, sender, folder_.string() + "/"};
  const std::string outlets = subLink("page=52&", "Outlets");
  writeFrameTop(context, 51);
  EXPECT_FALSE(has(out.text(), outlets));
  EXPECT_TRUE(has(out.text(), "<font class=\"link\">Control UPS</font>"));

  storeField(record().outletCount, 2);
  PageWriter again;
  PageContext withOutlets{record(), request, again, sender, folder_.string() + "/"};
  writeFrameTop(withOutlets, 51);
  EXPECT_TRUE(has(again.text(), outlets));
}

// Every text from the record or a file is written escaped, so that nothing
// a UPS, a posted form or a file holds becomes markup.
TEST_F(PageFrame, TextsFromTheRecordAndFilesAreEscapedEverywhere) {
  const char* evil = "\"><script>x('1')</script>&";
  const std::string escaped = "&quot;&gt;&lt;script&gt;x(&#39;1&#39;)&lt;/script&gt;&amp;";
  StatusRecord& r = record();
  for (char* field :
       {r.manufacturer, r.model, r.upsSoftwareVersion, r.idName, r.attDevice, r.serialNumber}) {
    setText(field, 64, evil);
  }
  std::string links;
  for (int i = 0; i < 6; ++i) links += std::string(evil) + "\n";
  writeFile("link.cfg", links);
  writeFile("kestrel.log",
            std::string("001  01/02/2026  03:04:05  [") + evil + "                 ]\r\n");
  writeFile("kestrel.dat",
            std::string(evil) + "," + evil + "\r\n" + "01/02/2026,03:04:05,230," + evil + "\r\n");
  int fields = 0;
  for (const char* query : {"page=11", "page=12", "page=13", "page=41", "page=42", "page=44"}) {
    const std::string page = get(query);
    EXPECT_FALSE(has(page, "<script")) << query;
    EXPECT_FALSE(has(page, "'1'")) << query;
    for (std::size_t at = page.find(escaped); at != std::string::npos;
         at = page.find(escaped, at + 1)) {
      ++fields;
    }
  }
  // Six link texts on each of the six pages, six identity texts on page 11,
  // the event text, and the data log's two whole fields (the others hold
  // pieces of the text).
  EXPECT_EQ(fields, 6 * 6 + 6 + 1 + 2);
}

}  // namespace
}  // namespace orvik
