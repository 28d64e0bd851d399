// Page 32: what each power event does. Without an event ("val" 0) the page
// offers the list of events; with one (100 x row + event code) it edits
// that event's action record in six boxes.
#include <string>

#include "cgi/form_fields.h"
#include "cgi/page_frame.h"
#include "cgi/pages.h"
#include "shared/control_datagram.h"

namespace orvik {
namespace {

struct EventRow {
  const char* name;
  int code;  // 2n occurrence, 2n + 1 recovery of alarm bit n
};

// Row r (1-based) is kEvents[r - 1]; its option value is 100 r + code.
constexpr EventRow kEvents[] = {
    {"Power failure", 2},         {"Power restore", 3},           {"Battery low", 4},
    {"Battery no longer low", 5}, {"Communication lost", 38},     {"Communication established", 39},
    {"Output overload", 14},      {"Output overload solved", 15}, {"Battery bad", 0},
    {"Battery replaced", 1},      {"Shutdown started", 50},       {"Shutdown completed", 51},
    {"Test in progress", 46},     {"Test completed", 47},         {"Service started", 48},
    {"Service stopped", 49},
};
constexpr int kEventRows = static_cast<int>(std::size(kEvents));

enum class Control { kCheck, kDelay, kText, kPeriod };

// One member of EventAction as the form shows it.
struct Field {
  const char* label;
  const char* key;
  Control control;
  int32_t EventAction::*flag;
  int16_t EventAction::*number;
  char* (*text)(EventAction&);
  std::size_t textSize;
};

#define FLAG(label, member) \
  { label, #member, Control::kCheck, &EventAction::member, nullptr, nullptr, 0 }
#define NUMBER(label, member, control) \
  { label, #member, control, nullptr, &EventAction::member, nullptr, 0 }
#define TEXT(label, member)                                                           \
  {                                                                                   \
    label, #member, Control::kText, nullptr, nullptr,                                 \
        [](EventAction& a) -> char* { return a.member; }, sizeof(EventAction::member) \
  }

struct Section {
  const char* title;
  Field fields[5];
  int count;
};

const Section kSections[] = {
    {"Log", {FLAG("Enable", logEnable)}, 1},
    {"Broadcast network message",
     {FLAG("Enable", bnmEnable), NUMBER("Delay", bnmDelay, Control::kDelay),
      TEXT("Message", bnmMessage), NUMBER("Period", bnmPeriod, Control::kPeriod),
      TEXT("Users", bnmUsers)},
     5},
    {"Send email",
     {FLAG("Enable", mailEnable), NUMBER("Delay", mailDelay, Control::kDelay),
      TEXT("Message", mailMessage), TEXT("Users", mailUsers)},
     4},
    {"Page users",
     {FLAG("Enable", pageEnable), NUMBER("Delay", pageDelay, Control::kDelay),
      TEXT("Message", pageMessage), TEXT("Users", pageUsers)},
     4},
    {"Execute command",
     {FLAG("Enable", executeEnable), NUMBER("Delay", executeDelay, Control::kDelay),
      TEXT("Command file", executeCommand)},
     3},
    {"Shutdown", {FLAG("Enable", shutEnable), NUMBER("Delay", shutDelay, Control::kDelay)}, 2},
};

#undef FLAG
#undef NUMBER
#undef TEXT

// The event a "val" names: a known row and an action record; else null.
EventAction* eventFor(StatusRecord& record, int val, const char** name) {
  const int row = val / 100;
  if (val <= 0 || row < 1 || row > kEventRows) return nullptr;
  *name = kEvents[row - 1].name;
  return eventActionForCode(record, val % 100);
}

void applyForm(EventAction& action, const PairList& form) {
  // A browser leaves unchecked boxes out of the form: the apply button
  // clears all six flags first, and those posted set theirs again.
  if (!form.empty() && form.back().name == "eventApplyBtn") {
    for (const Section& section : kSections) storeField(action.*section.fields[0].flag, 0);
  }
  for (const FormPair& pair : form) {
    for (const Section& section : kSections) {
      for (int i = 0; i < section.count; ++i) {
        const Field& field = section.fields[i];
        if (pair.name != field.key) continue;
        if (field.flag != nullptr) storeField(action.*field.flag, 1);
        if (field.number != nullptr) storeDecimal(action.*field.number, pair.value);
        if (field.text != nullptr) setText(field.text(action), field.textSize, pair.value.c_str());
      }
    }
  }
}

void writeControl(PageWriter& out, EventAction& action, const Field& field) {
  out.write("\n<td><font class=\"itemData\">");
  switch (field.control) {
    case Control::kCheck:
      if (loadField(action.*field.flag) == 0) {
        out.print(
            "\n<input class=\"ctrlCheck\" type=\"checkbox\" name=\"%s\" value=1 size=\"4\">"
            "</font>",
            field.key);
      } else {
        out.print(
            "\n<input class=\"ctrlCheck\" type=\"checkbox\" name=\"%s\" value=%d size=\"4\" "
            "CHECKED></font>",
            field.key, field.flag == &EventAction::logEnable ? 0 : 1);
      }
      break;
    case Control::kDelay:
      out.print(
          "\n<input class=\"ctrlText\" type=\"text\" name=\"%s\" value=\"%d\" size=\"4\"></font>",
          field.key, loadField(action.*field.number));
      break;
    case Control::kPeriod:
      out.print(
          "\n<input class=\"ctrlText\" type=\"text\" size=\"32\" name=\"%s\" value=\"%d\" "
          "size=\"4\"></font>",
          field.key, loadField(action.*field.number));
      break;
    case Control::kText:
      out.print(
          "\n<input class=\"ctrlText\" type=\"text\" size=\"32\" name=\"%s\" value=\"%s\" "
          "size=\"4\"></font>",
          field.key, htmlEscape(readText(field.text(action), field.textSize)).c_str());
      break;
  }
  out.write("</td>\n</tr>");
}

void writeLabel(PageWriter& out, const char* label) {
  openLabelCell(out);
  out.print("\n<font class=\"itemName\">&nbsp;%s:&nbsp;</font></td>", label);
}

void writeSelectionForm(PageWriter& out) {
  out.print("\n<form name=\"eventSelForm\" method=\"post\" action=\"%s?page=32&\">", kProgramPath);
  openBox(out, "&nbsp;Event");
  writeLabel(out, "Event Type");
  out.print("\n<td>\n<select class=\"ctrlSelect\" name=\"%s\" size=\"12\">", "eventSelect");
  for (int row = 1; row <= kEventRows; ++row) {
    out.print("\n<option value=%d>%s", 100 * row + kEvents[row - 1].code, kEvents[row - 1].name);
  }
  out.write("\n</option></select></td>\n</tr>");
  closeFormBox(out, "eventSelBtn", " Select");
  out.write("\n</form>");
}

void writeContentForm(PageWriter& out, EventAction& action, const char* name, int val) {
  out.print("\n<form name=\"eventContentForm\" method=\"post\" action=\"%s?page=32&val=%d&\">",
            kProgramPath, val);
  for (const Section& section : kSections) {
    const std::string title = std::string("&nbsp;") + name + " - " + section.title;
    openBox(out, title.c_str());
    for (int i = 0; i < section.count; ++i) {
      writeLabel(out, section.fields[i].label);
      writeControl(out, action, section.fields[i]);
    }
    closeBox(out);
  }
  out.write("\n<p> </p>");
  out.write("\n<input class=\"ctrlButton\" type=submit name=\"eventApplyBtn\" value=\" Apply\">");
  out.write("\n<input class=\"ctrlButton\" type=reset value=\"Cancel\">");
  out.print("\n<a href=\"%s?page=32&val=0&\" style=\"text-decoration: none\">", kProgramPath);
  out.write("\n<font class=\"itemName\">&nbsp;<<<<< Back&nbsp</font></a>");
  out.write("\n</form>");
}

}  // namespace

void eventActionsPage(PageContext& context) {
  const bool posted = context.request.method == kMethodPost;
  int val = context.request.val;
  if (posted) {
    if (const std::string* selected = lastValue(context.request.form, "eventSelect")) {
      val = parseDecimal(*selected);
    }
  }
  const char* name = nullptr;
  EventAction* action = eventFor(context.record, val, &name);
  if (posted) {
    if (action != nullptr) applyForm(*action, context.request.form);
    context.sender.sendDatagram(nullptr, kControlPort, kSaveSettingsCommand, 0, nullptr);
  }
  writeFrameTop(context, 32);
  // An unknown event shows the list to choose from.
  if (action == nullptr) {
    writeSelectionForm(context.out);
  } else {
    writeContentForm(context.out, *action, name, val);
  }
  writeFrameBottom(context.out);
}

}  // namespace orvik
