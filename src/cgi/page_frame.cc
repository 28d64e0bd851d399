#include "cgi/page_frame.h"

#include <algorithm>

#include "cgi/link_file.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

struct SubPage {
  const char* text;
  int page;
  const char* query;  // what follows "?" in its link
};

struct Section {
  const char* tab;
  int count;
  SubPage pages[4];
};

// In tab order; a page belongs to section page / 10 - 1, its first page is
// the tab's link.
constexpr Section kSections[] = {
    {"Home",
     3,
     {{"Identification Information", 11, "page=11&"},
      {"Configuration Information", 12, "page=12&"},
      {"Measured Informataion", 13, "page=13&"}}},
    {"Settings",
     4,
     {{"Basic Information", 21, "page=21&"},
      {"Communications", 22, "page=22&"},
      {"Network", 23, "page=23&"},
      {"Shutdown", 24, "page=24&"}}},
    {"Configuration",
     3,
     {{"UPS Parameters", 31, "page=31&"},
      {"Event Actions", 32, "page=32&"},
      {"Schedule", 33, "page=33&val=999&"}}},
    {"Log",
     3,
     {{"Event Log", 41, "page=41&"},
      {"Data Log", 42, "page=42&"},
      {"Log Settings", 44, "page=44&"}}},
    {"Control", 2, {{"Control UPS", 51, "page=51&"}, {"Outlets", 52, "page=52&"}}},
    {"System", 2, {{"User", 61, "page=61&"}, {"Link", 64, "page=64&"}}},
};
constexpr int kSectionCount = 6;
constexpr int kOutletsPage = 52;
// The banner table is two columns wide, 729 and 39 pixels: the logo and the
// tabs in the first (a table of their own), the corners in the second. The
// inner table's grid: the logo column, then the tab row's cells (six tabs,
// five separators, the closing separator, the help filler).
constexpr int kTabGridColumns = 14;

int sectionOf(int page) { return std::clamp(page / 10 - 1, 0, kSectionCount - 1); }

void writeBanner(PageWriter& out, bool home) {
  out.print(
      "\n<table width=\"768\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\" bgcolor=\"%s\">",
      kBannerColour);
  out.write(
      "\n<tr>\n<td width=\"729\">\n<table width=\"100%\" border=\"0\" cellspacing=\"0\" "
      "cellpadding=\"0\">");
  out.print(
      "\n<tr>\n<td rowspan=\"2\" width=\"207\" height=\"57\" valign=\"bottom\" "
      "background=\"%s/%s\"><img src=\"%s/%s\" width=\"207\" height=\"57\" border=\"0\" "
      "alt=\"\"></td>",
      kImageFolder, home ? "logo1.gif" : "logo0.gif", kImageFolder,
      home ? "logo1.gif" : "logo0.gif");
  out.print(
      "\n<td height=\"19\"><img src=\"%s/spacer.gif\" width=\"19\" height=\"19\" alt=\"\"></td>",
      kImageFolder);
  for (int i = 0; i < 8; ++i) out.write("\n<td> </td>");
  out.print("\n<td colspan=\"%d\"> </td>\n</tr>", kTabGridColumns - 10);
}

void writeSeparator(PageWriter& out, const char* image) {
  out.print("\n<td><img src=\"%s/%s\" width=\"22\" height=\"38\" alt=\"\"></td>", kImageFolder,
            image);
}

void writeTabRow(PageWriter& out, int page) {
  const int current = sectionOf(page);
  out.write("\n<tr>");
  for (int i = 0; i < kSectionCount; ++i) {
    if (i > 0) {
      writeSeparator(out, i == current       ? "menu01.gif"
                          : i - 1 == current ? "menu10.gif"
                                             : "menu00.gif");
    }
    const Section& section = kSections[i];
    if (i == current) {
      out.print(
          "\n<td background=\"%s/menu1.gif\" align=\"center\" nowrap><font "
          "class=\"menu\">%s</font></td>",
          kImageFolder, section.tab);
    } else {
      out.print("\n<td background=\"%s/menu0.gif\" align=\"center\" nowrap>", kImageFolder);
      out.print("\n<a href=\"%s?page=%d&\" class=\"menu\">%s</a></td>", kProgramPath,
                section.pages[0].page, section.tab);
    }
  }
  writeSeparator(out, "menu02.gif");
  out.print("\n<td width=\"100%%\" background=\"%s/menu2.gif\" align=\"right\">", kImageFolder);
  out.print("\n<a target=help href=\"%s/index.htm\">", kHelpFolder);
  out.print(
      "<img name=\"helpBtn\" src=\"%s/help.gif\" width=\"28\" height=\"28\" border=\"0\" "
      "alt=\"Help\"></a></td>",
      kImageFolder);
  out.write("\n</tr>\n</table>\n</td>");
  out.print(
      "\n<td width=\"39\" valign=\"bottom\" align=\"right\"><img src=\"%s/topright.gif\" "
      "width=\"13\" height=\"12\" alt=\"\"></td>\n</tr>",
      kImageFolder);
}

void writeSubPages(PageContext& context, int page) {
  const Section& section = kSections[sectionOf(page)];
  const bool hideOutlets = page != kOutletsPage && loadField(context.record.outletCount) <= 0;
  PageWriter& out = context.out;
  for (int i = 0; i < section.count; ++i) {
    const SubPage& sub = section.pages[i];
    if (sub.page == kOutletsPage && hideOutlets) continue;
    const bool current = sub.page == page;
    out.print(
        "\n<tr bgcolor=\"%s\">\n<td width=\"16\"><img src=\"%s/%s\" width=\"16\" height=\"16\" "
        "alt=\"\"></td>",
        kItemRowColour, kImageFolder, current ? "open.gif" : "close.gif");
    if (current) {
      // The current Home page's entry has always been written with two blanks.
      out.print("\n<td nowrap><font class=\"link\">%s</font></td>\n</tr>",
                sub.page == 11 ? "Identification  Information" : sub.text);
    } else {
      out.print("\n<td nowrap>\n<a href=\"%s?%s\" class=\"link\">%s</a></td>\n</tr>", kProgramPath,
                sub.query, sub.text);
    }
  }
}

void writeUserLinks(PageContext& context) {
  const UserLinks links = readLinkFile(context.serviceFolder + "link.cfg");
  PageWriter& out = context.out;
  out.print(
      "\n<tr>\n<td colspan=\"2\" height=\"12\"></td>\n</tr>"
      "\n<tr bgcolor=\"%s\">\n<td colspan=\"2\" nowrap><font class=\"menu\">&nbsp;Links</font></td>"
      "\n</tr>",
      kTitleRowColour);
  for (int i = 0; i < 3; ++i) {
    out.print("\n<tr bgcolor=\"%s\">\n<td colspan=\"2\" nowrap>", kTitleRowColour);
    out.print("\n<a href=\"http://%s:%d\" class=\"menu\" target=\"_new\">",
              htmlEscape(links.texts[2 * i]).c_str(), kLinkPort);
    out.print("\n<font class=\"itemTitle\">%s</font></a></td>\n</tr>",
              htmlEscape(links.texts[2 * i + 1]).c_str());
  }
}

// The spacer row, then the body table up to the left column's inner table.
void openLeftColumn(PageWriter& out) {
  out.print("\n<tr>\n<td colspan=\"2\" height=\"10\" bgcolor=\"%s\"></td>\n</tr>", kPageColour);
  out.print("\n<tr>\n<td bgcolor=\"%s\">", kPageColour);
  out.print(
      "\n<table border=\"0\" cellspacing=\"0\" cellpadding=\"0\" bgcolor=\"%s\">\n<tr>"
      "\n<td width=\"168\" valign=\"top\" align=\"center\">"
      "\n<table width=\"160\" border=\"0\" cellspacing=\"1\" cellpadding=\"2\">",
      kPageColour);
}

void openContentColumn(PageWriter& out) {
  out.write("\n</table>\n</td>");
  out.write("\n<td width=\"420\" height=\"360\" valign=\"top\" nowrap>");
}

}  // namespace

void writeEnvelopeHead(PageWriter& out) {
  out.write("Content-type: text/html\n\n<HTML>");
  out.write("\n<HEAD>\n");
  out.print("\n<TITLE>%s</TITLE>", kDocumentTitle);
  out.print("\n<link href=\"%s\" rel=stylesheet>\n", kStyleSheet);
  out.write("\n</HEAD>\n");
  out.write("<BODY>");
}

void writeEnvelopeEnd(PageWriter& out) { out.write("</BODY></HTML>"); }

void writeFrameTop(PageContext& context, int page) {
  PageWriter& out = context.out;
  writeBanner(out, sectionOf(page) == 0);
  writeTabRow(out, page);
  openLeftColumn(out);
  writeSubPages(context, page);
  writeUserLinks(context);
  openContentColumn(out);
}

void writeReducedFrameTop(PageContext& context, const char* tab, const char* entry) {
  PageWriter& out = context.out;
  writeBanner(out, true);
  out.print(
      "\n<tr>\n<td background=\"%s/menu1.gif\" align=\"center\" nowrap><font "
      "class=\"menu\">%s</font></td>",
      kImageFolder, tab);
  writeSeparator(out, "menu12.gif");
  out.print("\n<td colspan=\"%d\" width=\"100%%\" background=\"%s/menu2.gif\"> </td>",
            kTabGridColumns - 3, kImageFolder);
  out.write("\n</tr>\n</table>\n</td>");
  out.print(
      "\n<td width=\"39\" valign=\"bottom\" align=\"right\"><img src=\"%s/topright.gif\" "
      "width=\"13\" height=\"12\" alt=\"\"></td>\n</tr>",
      kImageFolder);
  openLeftColumn(out);
  out.print(
      "\n<tr bgcolor=\"%s\">\n<td width=\"16\"><img src=\"%s/open.gif\" width=\"16\" "
      "height=\"16\" alt=\"\"></td>\n<td nowrap><font class=\"link\">%s</font></td>\n</tr>",
      kItemRowColour, kImageFolder, entry);
  openContentColumn(out);
}

void writeFrameBottom(PageWriter& out) {
  out.write("\n</td>\n<td width=\"100\">&nbsp;</td>\n</tr>\n</table>");
  out.print(
      "\n</td>\n<td width=\"39\" bgcolor=\"%s\"><img src=\"%s/spacer.gif\" width=\"39\" "
      "height=\"1\" alt=\"\"></td>\n</tr>",
      kPageColour, kImageFolder);
  out.write("\n<tr>\n<td width=\"729\">&nbsp;</td>");
  out.print(
      "\n<td width=\"39\" valign=\"top\" align=\"right\"><img src=\"%s/btmright.gif\" width=\"13\" "
      "height=\"12\" alt=\"\"></td>\n</tr>\n</table>",
      kImageFolder);
}

void openBox(PageWriter& out, const char* title) {
  out.print(
      "\n<table width=\"98%%\" align=\"center\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\" "
      "bgcolor=\"%s\">",
      kPageColour);
  out.print(
      "\n<tr bgcolor=\"%s\">\n<td height=\"22\"><font class=\"itemTitle\">%s</font></td>\n</tr>",
      kTitleRowColour, title);
  out.print(
      "\n<tr bgcolor=\"%s\">\n<td>\n<table width=\"100%%\" border=\"0\" cellspacing=\"1\" "
      "cellpadding=\"2\">",
      kItemRowColour);
}

void closeBox(PageWriter& out) { out.write("\n</table>\n</td>\n</tr>\n</table>"); }

void closeFormBox(PageWriter& out, const char* name, const char* value) {
  out.print("\n</table>\n</td>\n</tr>\n<tr bgcolor=\"%s\">\n<td align=\"right\">", kTitleRowColour);
  out.print("\n<input class=\"ctrlButton\" type=submit name=\"%s\" value=\"%s\">", name, value);
  out.write("\n<input class=\"ctrlButton\" type=reset value=\"Cancel\">");
  out.write("\n</td>\n</tr>\n</table>");
}

void openLabelCell(PageWriter& out) {
  out.print("\n<tr>\n<td width=\"45%%\" background=\"%s/item_bg.gif\" nowrap>", kImageFolder);
}

void writeLabelCell(PageWriter& out, const char* label) {
  openLabelCell(out);
  out.print("\n<font class=\"itemName\">&nbsp;%s</font></td>", label);
}

}  // namespace orvik
