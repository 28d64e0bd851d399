// The Log section's two log pages: the event log and the data log, 15
// pieces a page, opening on the last page.
#include <algorithm>
#include <cstdio>
#include <string>

#include "cgi/log_reader.h"
#include "cgi/page_frame.h"
#include "cgi/pages.h"
#include "shared/decimal.h"

namespace orvik {
namespace {

constexpr int kLinesPerPage = 15;
constexpr std::size_t kEventPieceBuffer = 80;
constexpr std::size_t kDataPieceBuffer = 128;

struct LogView {
  const char* title;
  int page;
  const char* form;
  std::string path;
  std::size_t buffer;
  int columns;
};

// Where the shown page starts: the last page, unless "item" names a line.
int startLine(int total, const Request& request) {
  int start =
      total % kLinesPerPage != 0 ? total - total % kLinesPerPage + 1 : total - (kLinesPerPage - 1);
  if (const std::string* item = firstValue(request.query, "item")) start = parseDecimal(*item);
  return std::max(start, 1);
}

void writeCell(PageWriter& out, const std::string& text) {
  out.print("\n<td nowrap=\"\"><font class=\"itemData\">&nbsp;%s&nbsp;</font></td>",
            htmlEscape(text).c_str());
}

void writeNavigation(PageWriter& out, const LogView& view, int start, int total, bool opened) {
  out.write("\n<tr>\n<td align=\"left\" nowrap>");
  const bool previous = opened && start - kLinesPerPage > 0;
  const bool next = opened && start + kLinesPerPage <= total;
  if (previous) {
    out.print("\n<a href=\"%s?page=%d&item=%d&\" class=\"menu\">", kProgramPath, view.page,
              start - kLinesPerPage);
    out.write("\n<font class=\"itemName\"><< Previous Page</font></a></td>");
  } else {
    out.write("\n<font class=\"itemName\"><< Previous Page</font></td>");
  }
  out.write("\n<td align=\"right\" nowrap>");
  if (next) {
    out.print("\n<a href=\"%s?page=%d&item=%d&\" class=\"menu\">", kProgramPath, view.page,
              start + kLinesPerPage);
    out.write("\n<font class=\"itemName\">Next Page >></font></a></td>");
  } else {
    out.write("\n<font class=\"itemName\">Next Page >></font></td>");
  }
  out.write("\n</tr>");
}

void writeEventRow(PageWriter& out, const std::string& piece) {
  // "001  MM/DD/YYYY  hh:mm:ss  [event text, 40 wide]"
  //  1    6                   26  29
  out.print("\n<tr bgcolor=\"%s\">", kItemRowColour);
  out.print("\n<td nowrap><font class=\"itemData\">&nbsp;%s&nbsp;</font></td>",
            htmlEscape(pieceColumns(piece, 6, 20)).c_str());
  out.print("\n<td nowrap=\"\"><font class=\"itemData\">&nbsp;%s&nbsp;</font></td></tr>",
            htmlEscape(pieceColumns(piece, 29, 40)).c_str());
}

// "MM/DD/YYYY,hh:mm:ss,230,230,0273,50.0,50.0,035,030,0x01000000"
//  1          12       21  25  29   34   39   44  48
constexpr std::size_t kDataFieldStarts[] = {1, 12, 21, 25, 29, 34, 39, 44, 48};
constexpr int kVbatField = 4;

std::string dataField(const std::string& piece, std::size_t start) {
  std::string field = pieceColumns(piece, start, std::string::npos);
  return field.substr(0, field.find(','));
}

void writeDataRow(PageWriter& out, const std::string& piece) {
  out.print("\n<tr bgcolor=\"%s\">", kItemRowColour);
  for (int i = 0; i < 9; ++i) {
    std::string field = dataField(piece, kDataFieldStarts[i]);
    if (i == kVbatField && !field.empty()) {
      const int v = parseDecimal(field);
      char text[32];
      std::snprintf(text, sizeof text, "%03d.%01d", v / 10, v % 10);
      field = text;
    }
    writeCell(out, field);
  }
  out.write("\n</tr>");
}

void writeHeader(PageWriter& out, const LogView& view) {
  static const char* const kEventHeads[] = {"&nbsp;Date&nbsp;", "&nbsp;Event&nbsp;"};
  static const char* const kDataHeads[] = {
      "&nbsp;Date",       "&nbsp;Time",       "&nbsp;Vin&nbsp;",
      "&nbsp;Vout&nbsp;", "&nbsp;Vbat&nbsp;", "&nbsp;Fin&nbsp;",
      "&nbsp;Fout&nbsp;", "&nbsp;Load&nbsp;", "&nbsp;Temp.&nbsp;"};
  const char* const* heads = view.columns == 2 ? kEventHeads : kDataHeads;
  out.print("\n<tr bgcolor=\"%s\">", kTitleRowColour);
  for (int i = 0; i < view.columns; ++i) {
    out.print("\n<td nowrap><font class=\"itemTitle\">%s</font></td>", heads[i]);
  }
  out.write("\n</tr>");
}

void logPage(PageContext& context, const LogView& view) {
  PageWriter& out = context.out;
  const int counted = countPieces(view.path, view.buffer);
  const bool opened = counted >= 0;
  const int total = opened ? counted : 0;
  const int start = opened ? startLine(total, context.request) : 1;

  writeFrameTop(context, view.page);
  out.print(
      "\n<table width=\"98%%\" align=\"center\" border=\"0\" cellspacing=\"0\" cellpadding=\"2\" "
      "bgcolor=\"%s\">\n<tr bgcolor=\"%s\">",
      kPageColour, kTitleRowColour);
  out.print("\n<td nowrap><font class=\"itemTitle\">%s</font></td>", view.title);
  out.write("\n<td align=\"right\" nowrap>");
  if (total == 0) {
    out.write("\n<font class=\"itemTitle\">0-0/0</font></td>");
  } else {
    out.print("\n<font class=\"itemTitle\">%d-%d/%d</font></td>", start,
              std::min(total, start + kLinesPerPage - 1), total);
  }
  out.print("\n</tr>\n<tr bgcolor=\"%s\">\n<td colspan=\"2\">", kItemRowColour);
  out.print("\n<form name=\"%s\">", view.form);
  out.write("\n<table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"1\">");
  writeHeader(out, view);

  LogReader reader(view.path, view.buffer);
  if (!reader.isOpen()) {
    out.print("\n<tr bgcolor=\"%s\">", kItemRowColour);
    for (int i = 0; i < view.columns; ++i) writeCell(out, "");
    out.write("\n</tr>");
  } else if (reader.skip(start - 1)) {
    std::string piece;
    for (int shown = 0; shown < kLinesPerPage && reader.next(&piece); ++shown) {
      if (view.columns == 2) {
        writeEventRow(out, piece);
      } else {
        writeDataRow(out, piece);
      }
    }
  }
  out.write("\n</table>\n</form>\n</td>\n</tr>");
  writeNavigation(out, view, start, total, opened);
  out.write("\n</table>");
  writeFrameBottom(out);
}

}  // namespace

void eventLogPage(PageContext& context) {
  logPage(context, {"Event Log", 41, "eventform", context.serviceFolder + "kestrel.log",
                    kEventPieceBuffer, 2});
}

void dataLogPage(PageContext& context) {
  logPage(context,
          {"Data Log", 42, "dataform", context.serviceFolder + "kestrel.dat", kDataPieceBuffer, 9});
}

}  // namespace orvik
