// The Settings section's record pages: 21 (identification), 22 (serial
// ports) and 24 (shutdown and outlets). Page 23 edits a file instead
// (network_page.cc).
#include <cstdint>
#include <string>

#include "cgi/form_fields.h"
#include "cgi/page_frame.h"
#include "cgi/pages.h"
#include "shared/control_datagram.h"

namespace orvik {
namespace {

constexpr char kListHint[] =
    "\n<br><font class=\"itemData\">(a list, ex: host1;192.168.12.3;host3;)</font>";

void openForm(PageWriter& out, const char* name, int page) {
  out.print("\n<form name=\"%s\" method=\"post\" action=\"%s?page=%d&\">", name, kProgramPath,
            page);
}

void writeTextField(PageWriter& out, const char* name, int size, const std::string& value,
                    const char* after = "") {
  out.print(
      "\n<td><input class=\"ctrlText\" type=\"text\" name=\"%s\" size=\"%d\" value=\"%s\">%s</td>"
      "\n</tr>",
      name, size, htmlEscape(value).c_str(), after);
}

void writeDelayField(PageWriter& out, const char* name, int value) {
  out.print(
      "\n<td>\n<input class=\"ctrlText\" type=\"text\" name=\"%s\" size=\"20\" value=\"%d\">"
      "<font class=\"itemData\">seconds</font></td>\n</tr>",
      name, value);
}

// "COM3" is port index 2: the number from the fourth character on, less
// one. A value too short to hold a number, or one whose index would not fit
// the field, leaves the field as it is.
void storePort(int32_t& field, const std::string& value) {
  if (value.size() < 4) return;
  const int64_t index = int64_t{parseDecimal(value.substr(3))} - 1;
  if (index < INT32_MIN) return;
  storeField(field, static_cast<int32_t>(index));
}

void writePortSelection(PageWriter& out, const char* title, const char* name, int32_t port) {
  openBox(out, title);
  writeLabelCell(out, "Communication Port:&nbsp;");
  out.print("\n<td>\n<select class=\"ctrlSelect\" size=\"1\" name=\"%s\">", name);
  for (int n = 1; n <= 4; ++n) {
    out.print(n - 1 == port ? "\n<option selected>COM%d</option>" : "\n<option>COM%d</option>", n);
  }
  out.write("\n</select></td>\n</tr>");
}

}  // namespace

void basicInformationPage(PageContext& context) {
  StatusRecord& record = context.record;
  if (context.request.method == kMethodPost) {
    for (const FormPair& pair : context.request.form) {
      if (pair.name == "idName") setText(record.idName, pair.value);
      if (pair.name == "attDevice") setText(record.attDevice, pair.value);
    }
    context.sender.sendDatagram(nullptr, kControlPort, kSaveSettingsCommand, 0, nullptr);
  }
  PageWriter& out = context.out;
  writeFrameTop(context, 21);
  openForm(out, "infoForm", 21);
  openBox(out, "&nbsp;Basic Information Settings");
  writeLabelCell(out, "Identification Name:&nbsp;");
  out.print(
      "\n<td><input type=\"text\" class=\"ctrlText\" name=\"idName\" size=\"28\" "
      "value=\"%s\"></td>\n</tr>",
      htmlEscape(readText(record.idName)).c_str());
  writeLabelCell(out, "Attached Device:&nbsp;");
  out.print(
      "\n<td><input class=\"ctrlText\" type=\"text\" name=\"attDevice\" size=\"28\" "
      "value=\"%s\"></td>\n</tr>",
      htmlEscape(readText(record.attDevice)).c_str());
  out.write("\n<p> </p>");
  closeFormBox(out, "apply", " Apply");
  out.write("\n</form>");
  writeFrameBottom(out);
}

void communicationsPage(PageContext& context) {
  StatusRecord& record = context.record;
  if (context.request.method == kMethodPost) {
    for (const FormPair& pair : context.request.form) {
      if (pair.name == "upsport") storePort(record.upsport, pair.value);
      if (pair.name == "pageport") storePort(record.pageport, pair.value);
    }
    context.sender.sendDatagram(nullptr, kControlPort, kPortsChangedCommand, 0, nullptr);
  }
  PageWriter& out = context.out;
  writeFrameTop(context, 22);
  openForm(out, "infoForm", 22);
  writePortSelection(out, "&nbsp;Ups Communications", "upsport", loadField(record.upsport));
  closeBox(out);
  out.write("\n<p> </p>");
  writePortSelection(out, "&nbsp;Page Modem", "pageport", loadField(record.pageport));
  closeFormBox(out, "apply", " Apply");
  out.write("\n</form>");
  writeFrameBottom(out);
}

void shutdownPage(PageContext& context) {
  StatusRecord& record = context.record;
  const int outlets = outletsShown(record);
  if (context.request.method == kMethodPost) {
    const PairList& form = context.request.form;
    // The page offers no control for it: a browser never posts it, so
    // every apply clears it.
    storeField(record.autoSave, 0);
    if (firstValue(form, "applyShutdown") != nullptr) {
      for (const FormPair& pair : form) {
        if (pair.name == "autoSave") storeField(record.autoSave, 1);
        if (pair.name == "systemDelay") storeDecimal(record.systemDelay, pair.value);
        if (pair.name == "upsDelay") storeDecimal(record.upsDelay, pair.value);
        if (pair.name == "shutDepend") setText(record.shutDepend, pair.value);
      }
    } else {
      for (const FormPair& pair : form) {
        for (int n = 1; n <= outlets; ++n) {
          Outlet& outlet = record.outlets[n - 1];
          const std::string number = std::to_string(n);
          if (pair.name == "outletDescr" + number) setText(outlet.outletDescr, pair.value);
          if (pair.name == "outletShutdownDelay" + number) {
            storeDecimal(outlet.outletShutdownDelay, pair.value);
          }
          if (pair.name == "outletShutdownDepend" + number) {
            setText(outlet.outletShutdownDepend, pair.value);
          }
        }
      }
    }
    context.sender.sendDatagram(nullptr, kControlPort, kSaveSettingsCommand, 0, nullptr);
  }

  PageWriter& out = context.out;
  writeFrameTop(context, 24);
  openForm(out, "shutForm", 24);
  openBox(out, "&nbsp;Shutdown");
  writeLabelCell(out, "Shut Down System Delay:&nbsp;");
  writeDelayField(out, "systemDelay", loadField(record.systemDelay));
  writeLabelCell(out, "Shutdown Depend:&nbsp;");
  writeTextField(out, "shutDepend", 33, readText(record.shutDepend), kListHint);
  closeFormBox(out, "applyShutdown", " Apply");
  out.write("\n<p></p>");
  for (int n = 1; n <= outlets; ++n) {
    const Outlet& outlet = record.outlets[n - 1];
    const std::string number = std::to_string(n);
    const std::string title = "&nbsp;Outlet " + number + " Settings";
    openBox(out, title.c_str());
    writeLabelCell(out, "Description:&nbsp;");
    writeTextField(out, ("outletDescr" + number).c_str(), 33, readText(outlet.outletDescr),
                   kListHint);
    writeLabelCell(out, "Shut Down System Delay:&nbsp;");
    writeDelayField(out, ("outletShutdownDelay" + number).c_str(),
                    loadField(outlet.outletShutdownDelay));
    writeLabelCell(out, "Shutdown Depend:&nbsp;");
    writeTextField(out, ("outletShutdownDepend" + number).c_str(), 33,
                   readText(outlet.outletShutdownDepend), kListHint);
    if (n < outlets) {
      closeBox(out);
      out.write("\n<p></p>");
    } else {
      closeFormBox(out, "applyOutlet", " Apply");
    }
  }
  out.write("\n</form>");
  writeFrameBottom(out);
}

}  // namespace orvik
