// Page 64: the three user links every page shows, kept in "link.cfg" in
// the service's folder.
#include <algorithm>
#include <string>

#include "cgi/form_fields.h"
#include "cgi/link_file.h"
#include "cgi/page_frame.h"
#include "cgi/pages.h"
#include "shared/file_replace.h"

namespace orvik {
namespace {

constexpr const char* kLinkKeys[] = {"Link1Name", "Link1Desc", "Link2Name",
                                     "Link2Desc", "Link3Name", "Link3Desc"};
constexpr char kLinkFileName[] = "link.cfg";
constexpr char kLinkTempName[] = "link.cfg.tmp";

// Each posted key replaces its line. A line break would shift every later
// line, so a value holding one refuses the whole form. False when refused.
bool applyForm(PageContext& context, const std::string& path) {
  for (const FormPair& pair : context.request.form) {
    if (pair.value.find_first_of("\r\n") != std::string::npos &&
        std::find(std::begin(kLinkKeys), std::end(kLinkKeys), pair.name) != std::end(kLinkKeys)) {
      return false;
    }
  }
  // A failed write keeps the old links, as the page then shows. Saves from
  // two tabs take turns, so a form that posts some keys keeps the others'
  // latest texts.
  updateFile(
      path, kLinkTempName,
      [&](const std::string*, std::string* contents) {
        UserLinks links = readLinkFile(path);
        for (const FormPair& pair : context.request.form) {
          for (std::size_t i = 0; i < std::size(kLinkKeys); ++i) {
            if (pair.name == kLinkKeys[i]) links.texts[i] = pair.value.substr(0, kLinkTextLength);
          }
        }
        *contents = linkFileText(links);
        return true;
      },
      context.files);
  return true;
}

}  // namespace

void linksPage(PageContext& context) {
  const std::string path = context.serviceFolder + kLinkFileName;
  const bool accepted = context.request.method != kMethodPost || applyForm(context, path);
  PageWriter& out = context.out;
  writeFrameTop(context, 64);
  const UserLinks links = readLinkFile(path);
  out.print("\n<form name=\"inputForm\" method=\"post\" action=\"%s?page=64&\">", kProgramPath);
  for (int n = 1; n <= 3; ++n) {
    const std::string title = "&nbsp;User Link " + std::to_string(n);
    openBox(out, title.c_str());
    writeLabelCell(out, "Web Address :&nbsp;");
    out.print(
        "\n<td>\n<font class=\"itemName\">&nbsp;http://&nbsp;</font><input type=\"text\" "
        "class=\"ctrlText\" name=\"%s\" size=\"28\" value=\"%s\"></td>\n</tr>",
        kLinkKeys[2 * n - 2], htmlEscape(links.texts[2 * n - 2]).c_str());
    writeLabelCell(out, "Description :&nbsp;");
    out.print(
        "\n<td>\n<font class=\"itemName\"></font><input type=\"text\" class=\"ctrlText\" "
        "name=\"%s\" size=\"28\" value=\"%s\"></td>\n</tr>",
        kLinkKeys[2 * n - 1], htmlEscape(links.texts[2 * n - 1]).c_str());
    if (n < 3) {
      closeBox(out);
      out.write("\n<p> </p>");
    } else {
      closeFormBox(out, "ApplyLink", " Apply");
    }
  }
  out.write("\n</form>");
  if (!accepted) writeCounterNotice(out, "Data Entry Error: Web address or description incorrect");
  writeFrameBottom(out);
}

}  // namespace orvik
