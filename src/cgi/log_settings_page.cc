// Page 44: the size limits of the two logs and the data recording interval.
#include <string>

#include "cgi/page_frame.h"
#include "cgi/pages.h"
#include "shared/control_datagram.h"
#include "shared/decimal.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

struct Limit {
  const char* key;
  int low;
  int high;
};

constexpr Limit kEventFileLength{"EvtFileLen", 1000, 2000000};
constexpr Limit kDataFileLength{"DataFileLen", 1000, 2000000};
constexpr Limit kDataInterval{"DataInterval", 0, 3600};

// Stores the pair's value in field when it is within the limit; false when
// it is not, the field then keeps its value.
template <class T>
bool storeWithin(T& field, const Limit& limit, const std::string& value) {
  const int v = parseDecimal(value);
  if (v < limit.low || v > limit.high) return false;
  storeField(field, v);
  return true;
}

// The submit button, the form's last pair, says which form was posted.
bool applyForm(StatusRecord& record, const PairList& form) {
  if (form.empty()) return true;
  const std::string& button = form.back().name;
  bool accepted = true;
  for (const FormPair& pair : form) {
    if (button == "DataApply" && pair.name == kDataFileLength.key) {
      accepted &= storeWithin(record.DataFileLen, kDataFileLength, pair.value);
    } else if (button == "DataApply" && pair.name == kDataInterval.key) {
      accepted &= storeWithin(record.DataInterval, kDataInterval, pair.value);
    } else if (button == "EvtApply" && pair.name == kEventFileLength.key) {
      accepted &= storeWithin(record.EvtFileLen, kEventFileLength, pair.value);
    }
  }
  return accepted;
}

void writeLengthRow(PageWriter& out, const char* label, const char* key, long value) {
  openLabelCell(out);
  out.print("\n<font class=\"itemName\">%s</font></td>", label);
  out.print(
      "\n<td><input class=\"ctrlText\" type=\"text\" name=\"%s\" size=\"20\" \t       "
      "value=\"%ld\">",
      key, value);
  out.write("\n<font class=\"itemData\">bytes</font></td>\n</tr>");
}

}  // namespace

void logSettingsPage(PageContext& context) {
  StatusRecord& record = context.record;
  PageWriter& out = context.out;
  bool rejected = false;
  if (context.request.method == kMethodPost) {
    rejected = !applyForm(record, context.request.form);
    // Also after a rejected value: the others of the form were stored.
    context.sender.sendDatagram(nullptr, kControlPort, kSaveSettingsCommand, 0, nullptr);
  }

  writeFrameTop(context, 44);
  out.print("\n<form name=\"eventform\" method=\"post\" action=\"%s?page=44&\">", kProgramPath);
  openBox(out, "&nbsp;Event log settings");
  writeLengthRow(out, "&nbsp;Maximum file length:&nbsp;", kEventFileLength.key,
                 loadField(record.EvtFileLen));
  closeFormBox(out, "EvtApply", "Apply");
  out.write("\n</form>");
  out.write("\n<p> </p>");
  out.print("\n<form name=\"dataform\" method=\"post\" action=\"%s?page=44&\">", kProgramPath);
  openBox(out, "&nbsp;Data log settings");
  writeLengthRow(out, "&nbsp;Maximum&nbsp; file length:&nbsp;", kDataFileLength.key,
                 loadField(record.DataFileLen));
  openLabelCell(out);
  out.write("\n<font class=\"itemName\">&nbsp;Data recording interval:&nbsp;</font></td>");
  out.print(
      "\n<td><input class=\"ctrlText\" type=\"text\" name=\"%s\" size=\"20\" \t       "
      "value=\"%d\">",
      kDataInterval.key, loadField(record.DataInterval));
  out.write("\n<font class=\"itemData\">seconds</font></td>\n</tr>");
  closeFormBox(out, "DataApply", "Apply");
  out.write("\n</form>");
  if (rejected) {
    out.write(
        "\n<font class=\"counter\" color=>&nbsp;Data Entry Error: File length or interval time "
        "incorrect&nbsp;</font>");
  }
  writeFrameBottom(out);
}

}  // namespace orvik
