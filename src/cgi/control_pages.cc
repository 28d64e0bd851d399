// The Control section: page 51 starts the UPS self test and shows its
// result, page 52 switches the outlets. Both act through the service.
#include <string>

#include "cgi/form_fields.h"
#include "cgi/page_frame.h"
#include "cgi/pages.h"
#include "shared/control_datagram.h"

namespace orvik {
namespace {

constexpr int32_t kOutletOnArgument = 65536;  // added to the index: switch it on
constexpr int kTestInProgress = 5;
constexpr const char* kTestResults[] = {"Test Passed",  "Test Warning",     "Test Error",
                                        "Test Aborted", "Test In Progress", "Test Unknown"};

void openBorderedBox(PageWriter& out, const char* titleCell, const char* form, int page) {
  out.print("\n<form name=\"%s\" method=\"post\" action=\"%s?page=%d&\">", form, kProgramPath,
            page);
  out.print(
      "\n<table width=\"98%%\" align=\"center\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\" "
      "bgcolor=\"%s\">",
      kPageColour);
  out.print("\n<tr bgcolor=\"%s\">%s\n</tr>", kTitleRowColour, titleCell);
  out.print(
      "\n<tr bgcolor=\"%s\">\n<td colspan=2>\n<table width=\"100%%\" border=\"1\" "
      "cellspacing=\"0\" cellpadding=\"2\">",
      kItemRowColour);
}

void closeBorderedBox(PageWriter& out) { out.write("\n</table>\n</td>\n</tr>\n</table>\n</form>"); }

}  // namespace

void controlUpsPage(PageContext& context) {
  StatusRecord& record = context.record;
  PageWriter& out = context.out;
  const PairList& form = context.request.form;
  if (context.request.method == kMethodPost && !form.empty()) {
    const std::string& button = form.back().name;
    if (button == "tstups") {
      context.sender.sendDatagram(nullptr, kControlPort, kSelfTestCommand, 1, nullptr);
      out.write("\n<meta http-equiv=\"refresh\" content=\"1\">");
    }
    // Delays the service counts down: a power cycle (off after 10 s, on
    // again after the posted seconds) or a timed switch-off.
    for (const FormPair& pair : form) {
      if (pair.name == "cycthepwr" && button == "cycleExec") {
        storeDecimal(record.rebootWithDuration.value, pair.value);
        storeField(record.shutdownAfterDelay.value, 10);
      }
      if (pair.name == "shtaftersec" && button == "shtExec") {
        storeDecimal(record.shutdownAfterDelay.value, pair.value);
      }
    }
  }
  writeFrameTop(context, 51);
  openBorderedBox(out, "\n<td nowrap colspan=2><font class=\"itemTitle\">&nbsp;Test</font></td>",
                  "testform", 51);
  out.write("\n<tr>\n<td colspan=\"2\">");
  out.print("\n<input class=\"ctrlButton\" type=submit value=\"%s\" name=\"%s\">",
            "Initial Self Test", "tstups");
  out.write("</td>\n</tr>\n<tr>");
  out.print(
      "\n<td background=\"%s/item_bg.gif\" nowrap><font class=\"itemName\">&nbsp;Testing "
      "Result&nbsp;</font></td>",
      kImageFolder);
  const int result = loadField(record.testResultsSummary);
  if (result >= 1 && result <= static_cast<int>(std::size(kTestResults))) {
    out.print("\n<td width=\"290\" nowrap><font class=\"itemData\">%s</font></td>",
              kTestResults[result - 1]);
    if (result == kTestInProgress) out.write("\n<meta http-equiv=\"refresh\" content=\"3\">");
  }
  out.write("\n</tr>");
  closeBorderedBox(out);
  writeFrameBottom(out);
}

void outletsPage(PageContext& context) {
  StatusRecord& record = context.record;
  PageWriter& out = context.out;
  const int outlets = outletsShown(record);
  const PairList& form = context.request.form;
  if (context.request.method == kMethodPost && !form.empty()) {
    const std::string& button = form.back().name;
    for (int i = 0; i < outlets; ++i) {
      if (button != "Outlet " + std::to_string(i + 1)) continue;
      // On now: off through its timed shutdown; off now: on.
      const bool on = loadField(record.outlets[i].outletState) == 1;
      context.sender.sendDatagram(nullptr, kControlPort, outletCommand,
                                  on ? i : i + kOutletOnArgument, nullptr);
    }
  }
  out.write("\n<meta http-equiv=refresh content=5>");
  writeFrameTop(context, 52);
  openBorderedBox(out,
                  "\n<td nowrap colspan=2><font class=\"itemTitle\">&nbsp;Outlnet Control</font>"
                  "</td>",
                  "testform", 52);
  out.write(
      "\n<tr>\n<td colspan=\"3\"><font class=\"itemName\">Action</font></td>"
      "\n<td><font class=\"itemName\">Description</font></td>"
      "\n<td><font class=\"itemName\">Status</font></td>"
      "\n<td><font class=\"itemName\">Delay</font></td>\n</tr>");
  for (int i = 0; i < outlets; ++i) {
    const Outlet& outlet = record.outlets[i];
    const std::string button = "Outlet " + std::to_string(i + 1);
    out.write("\n<tr>\n<td colspan=\"3\">");
    out.print("\n<input class=\"ctrlButton\" type=submit value=\"%s\" name=\"%s\"></td>",
              button.c_str(), button.c_str());
    out.print("\n<td width=\"290\" nowrap><font class=\"itemData\">%s</font></td>",
              htmlEscape(readText(outlet.outletDescr)).c_str());
    out.write(loadField(outlet.outletState) == 1
                  ? "\n<td width=30 nowrap><font class=\"itemData\">ON</font></td>"
                  : "\n<td width=30 nowrap><font class=\"itemData\">OFF</font></td>");
    out.print("\n<td><font class=\"itemData\">%d</font></td>\n</tr>",
              loadField(outlet.outletShutdownDelay));
  }
  closeBorderedBox(out);
  writeFrameBottom(out);
}

}  // namespace orvik
