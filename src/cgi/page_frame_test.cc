#include "cgi/page_frame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cgi/kestrel_test_support.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

class PageFrame : public KestrelTest {};

std::string tab(int page, const char* text) {
  return "\n<a href=\"/cgi-bin/kestrel.exe?page=" + std::to_string(page) + "&\" class=\"menu\">" +
         text + "</a></td>";
}
std::string sub(const char* query, const char* text) {
  return std::string("\n<a href=\"/cgi-bin/kestrel.exe?") + query + "\" class=\"link\">" + text +
         "</a></td>";
}
std::string image(const char* name) { return std::string("<img src=\"/images/") + name + "\""; }

TEST_F(PageFrame, TabsAndSubPagesLeadWhereTheyBelong) {
  struct Case {
    int page;
    std::vector<std::string> present;
    std::vector<std::string> absent;
  } cases[] = {
      {11,
       {image("logo1.gif"), "nowrap><font class=\"menu\">Home</font></td>", tab(21, "Settings"),
        tab(31, "Configuration"), tab(41, "Log"), tab(51, "Control"), tab(61, "System"),
        image("menu10.gif"), sub("page=12&", "Configuration Information"),
        sub("page=13&", "Measured Informataion"),
        "<font class=\"link\">Identification  Information</font>"},
       {tab(11, "Home"), image("menu01.gif")}},
      {13,
       {image("logo1.gif"), sub("page=11&", "Identification Information"),
        "<font class=\"link\">Measured Informataion</font>"},
       {}},
      {44,
       {image("logo0.gif"), "nowrap><font class=\"menu\">Log</font></td>", tab(11, "Home"),
        image("menu01.gif"), image("menu10.gif"), sub("page=41&", "Event Log"),
        sub("page=42&", "Data Log"), "<font class=\"link\">Log Settings</font>"},
       {tab(41, "Log"), "Identification"}},
  };
  for (const Case& c : cases) {
    const std::string page = get("page=" + std::to_string(c.page));
    for (const std::string& piece : c.present) EXPECT_TRUE(has(page, piece)) << c.page << piece;
    for (const std::string& piece : c.absent) EXPECT_FALSE(has(page, piece)) << c.page << piece;
    EXPECT_TRUE(has(page, image("menu02.gif")));
    EXPECT_TRUE(has(page, "\n<a target=help href=\"/help/index.htm\"><img name=\"helpBtn\""));
    EXPECT_TRUE(has(page, "\n<td width=\"729\">&nbsp;</td>"));
  }
}

TEST_F(PageFrame, LinksBlockShowsTheLinkFileOrThreeEmptyLinks) {
  const std::string emptyLink =
      "\n<a href=\"http://:9982\" class=\"menu\" target=\"_new\">"
      "\n<font class=\"itemTitle\"></font></a></td>";
  std::string page = get("page=11");
  EXPECT_TRUE(has(page, "<font class=\"menu\">&nbsp;Links</font>"));
  EXPECT_TRUE(has(page, emptyLink + "\n</tr>\n<tr bgcolor=\"#2E648F\">\n<td colspan=\"2\" nowrap>" +
                            emptyLink +
                            "\n</tr>\n<tr bgcolor=\"#2E648F\">\n<td colspan=\"2\" "
                            "nowrap>" +
                            emptyLink));

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
  DatagramSender sender(sockets_);
  for (const int outlets : {0, 2}) {
    storeField(record().outletCount, outlets);
    PageWriter out;
    PageContext context{record(), request, out, sender, folder_.string() + "/"};
    writeFrameTop(context, 51);
    EXPECT_EQ(has(out.text(), sub("page=52&", "Outlets")), outlets > 0);
    EXPECT_TRUE(has(out.text(), "<font class=\"link\">Control UPS</font>"));
  }
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
