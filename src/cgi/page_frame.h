// The frame every management page shares: the document envelope, the
// banner with its six section tabs, the left column with the section's
// sub-pages and the user links, the content column and the footer; and the
// content boxes the pages build their content from.
#pragma once

#include "cgi/page_context.h"
#include "cgi/page_writer.h"

namespace orvik {

inline constexpr char kProgramPath[] = "/cgi-bin/kestrel.exe";
inline constexpr char kImageFolder[] = "/images";
inline constexpr char kHelpFolder[] = "/help";
inline constexpr char kStyleSheet[] = "/en/orvikpw.css";
inline constexpr char kDocumentTitle[] = "Kelvane Device Manager";
inline constexpr int kLinkPort = 9982;

inline constexpr char kBannerColour[] = "#04168C";
inline constexpr char kPageColour[] = "#B6B6FF";
inline constexpr char kTitleRowColour[] = "#2E648F";
inline constexpr char kItemRowColour[] = "#EEF5FF";

// "Content-type: text/html" and the HTML head, up to and including "<BODY>".
void writeEnvelopeHead(PageWriter& out);
void writeEnvelopeEnd(PageWriter& out);

// Banner, tab row, left column (sub-pages of page's section and the user
// links from "link.cfg") and the opening of the content column. page
// decides the current tab and sub-page; it must belong to a section.
void writeFrameTop(PageContext& context, int page);
// The frame of the pages without menus (199, 200): the Home banner, one
// current tab and one current left entry, no user links.
void writeReducedFrameTop(PageContext& context, const char* tab, const char* entry);
// Closes the content column, writes the right column and the footer.
void writeFrameBottom(PageWriter& out);

// A content box: title row (title is HTML, written as it stands) and the
// opening of its body's inner table; closeBox ends both.
void openBox(PageWriter& out, const char* title);
void closeBox(PageWriter& out);
// Closes a form's box with its button row: the submit button named name
// and showing value, and "Cancel".
void closeFormBox(PageWriter& out, const char* name, const char* value);
// Starts a row of a box with its label cell, up to the label's font
// element, which the caller writes; writeLabelCell writes the usual one:
// "&nbsp;" and the label in class "itemName".
void openLabelCell(PageWriter& out);
void writeLabelCell(PageWriter& out, const char* label);

}  // namespace orvik
