// Page 31: the UPS's own parameters, each changeable within what the UPS
// allows for it (its capability). Only the record changes; the value holds
// until the UPS's own is read again.
#include <algorithm>
#include <string>

#include "cgi/form_fields.h"
#include "cgi/page_frame.h"
#include "cgi/pages.h"

namespace orvik {
namespace {

enum class Shown { kWhole, kTenths, kAudible };

struct ParamRow {
  const char* key;
  Param StatusRecord::*param;
  const char* label;
  Shown shown;
};

struct ParamForm {
  const char* name;
  const char* title;
  ParamRow rows[2];
};

constexpr ParamForm kForms[] = {
    {"inputForm",
     "&nbsp;Input Configuration",
     {{"confInVolt", &StatusRecord::confInVolt, "Input Voltage:&nbsp;", Shown::kWhole},
      {"confInFreq", &StatusRecord::confInFreq, "Input Frequency:&nbsp;", Shown::kTenths}}},
    {"outputForm",
     "&nbsp;Output Configuration",
     {{"confOutVolt", &StatusRecord::confOutVolt, "Output Voltage:&nbsp;", Shown::kWhole},
      {"confOutFreq", &StatusRecord::confOutFreq, "Output Frequency:&nbsp;", Shown::kTenths}}},
    {"configForm",
     "&nbsp;Misc. Configuration",
     {{"confLowBatt", &StatusRecord::confLowBatt, "Low Batt Time:&nbsp;", Shown::kWhole},
      {"confAudible", &StatusRecord::confAudible, "Audible Alarm:&nbsp;", Shown::kAudible}}},
};

constexpr const char* kAudibleNames[] = {"Disabled", "Enabled", "Muted"};

// Whether the UPS takes u for the parameter: one of its first `capability`
// allowed values, anything when read-only (0), or within allowed[0] to
// allowed[1] for a negative capability.
bool allows(const Param& param, int16_t capability, int u) {
  if (capability > 0) {
    const int count = std::min<int>(capability, std::size(param.allowed));
    for (int i = 0; i < count; ++i) {
      if (loadField(param.allowed[i]) == u) return true;
    }
    return false;
  }
  if (capability < 0) return loadField(param.allowed[0]) <= u && u <= loadField(param.allowed[1]);
  return true;
}

void applyForm(StatusRecord& record, const PairList& form) {
  for (const FormPair& pair : form) {
    for (const ParamForm& paramForm : kForms) {
      for (const ParamRow& row : paramForm.rows) {
        if (pair.name != row.key) continue;
        Param& param = record.*row.param;
        // Not reported by the UPS: nothing to change.
        if (loadField(param.value) == kNotAvailable) continue;
        const int u = decimalFor<int16_t>(pair.value);
        if (allows(param, loadField(param.capability), u)) storeField(param.value, u);
      }
    }
  }
}

bool isLowBatt(const ParamRow& row) { return row.key == std::string_view("confLowBatt"); }

void writeValueCell(PageWriter& out, const ParamRow& row, int value) {
  std::string text;
  if (row.shown == Shown::kWhole && value != kNotAvailable) {
    text = "&nbsp;" + std::to_string(value);
  } else if (row.shown == Shown::kTenths && value >= 1) {
    text = "&nbsp;" + std::to_string(value / 10) + "." + std::to_string(value % 10);
  } else if (row.shown == Shown::kAudible && value >= 1 && value <= 3) {
    text = std::string("&nbsp;") + kAudibleNames[value - 1];
  }
  out.print("\n<td nowrap><font class=\"itemData\">%s</font></td>", text.c_str());
}

// The "change to" cell; true when it offers a control.
bool writeChangeCell(PageWriter& out, const ParamRow& row, int value, int capability) {
  if (capability == 0) {
    out.write("\n<td></td>");
    return false;
  }
  if (row.shown != Shown::kAudible) {
    out.print(
        "\n<td><font class=\"itemData\">|&nbsp;change to:&nbsp;</font><input class=\"ctrlText\" "
        "type=\"text\" name=\"%s\" size=\"4\"%s></td>",
        row.key, isLowBatt(row) ? " value=\"\"" : "");
    return true;
  }
  out.print(
      "\n<td><font class=\"itemData\">|&nbsp;change to:&nbsp;</font><select class=\"ctrlSelect\" "
      "size=\"1\" name=\"%s\">",
      row.key);
  // Capability 2 offers Disabled and Enabled; any other, Muted as well. A
  // current value the list does not hold leaves it empty.
  const int offered = capability == 2 ? 2 : 3;
  if (value >= 1 && value <= offered) {
    for (int v = 1; v <= offered; ++v) {
      out.print(v == value ? "\n<option value=\"%d\" selected>%s</option>"
                           : "\n<option value=\"%d\">%s</option>",
                v, kAudibleNames[v - 1]);
    }
  }
  out.write("\n</select></td>");
  return true;
}

}  // namespace

void upsParametersPage(PageContext& context) {
  StatusRecord& record = context.record;
  if (context.request.method == kMethodPost) applyForm(record, context.request.form);

  PageWriter& out = context.out;
  writeFrameTop(context, 31);
  for (const ParamForm& form : kForms) {
    if (&form != kForms) out.write("\n<p> </p>");
    out.print("\n<form name=\"%s\" method=\"post\" action=\"%s?page=31&\">", form.name,
              kProgramPath);
    openBox(out, form.title);
    bool changeable = false;
    for (const ParamRow& row : form.rows) {
      const Param& param = record.*row.param;
      const int value = loadField(param.value);
      // Low battery time shows only where the UPS reports one.
      if (isLowBatt(row) && value <= 0) continue;
      writeLabelCell(out, row.label);
      writeValueCell(out, row, value);
      changeable |= writeChangeCell(out, row, value, loadField(param.capability));
      out.write("\n</tr>");
    }
    if (changeable) {
      closeFormBox(out, "apply", " Apply");
    } else {
      closeBox(out);
    }
    out.write("\n</form>");
  }
  writeFrameBottom(out);
}

}  // namespace orvik
