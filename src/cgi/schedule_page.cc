// Page 33: the schedule of UPS tests and switching. "val" 999 offers a new
// entry, a number k from 0 edits entry k, -n removes entry n (1-based).
#include <algorithm>
#include <ctime>
#include <string>

#include "cgi/form_fields.h"
#include "cgi/page_frame.h"
#include "cgi/pages.h"
#include "shared/control_datagram.h"

namespace orvik {
namespace {

constexpr int kNewEntry = 999;
constexpr int kFirstYear = 2002;
constexpr int kLastYear = 2022;
// Years offered beyond the current one, so an entry can always be made.
constexpr int kYearsAhead = 10;

constexpr const char* kFrequencies[] = {"Once", "Daily", "Weekly", "Monthly"};
constexpr const char* kWeekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};

struct Key {
  const char* name;
  int16_t ScheduleEntry::*member;
};

constexpr Key kKeys[] = {
    {"actSelName", &ScheduleEntry::action}, {"monthSelName", &ScheduleEntry::month},
    {"daySelName", &ScheduleEntry::day},    {"yrSelName", &ScheduleEntry::year},
    {"hourSelName", &ScheduleEntry::hour},  {"minSelName", &ScheduleEntry::minute},
    {"secSelName", &ScheduleEntry::second}, {"freqSelName", &ScheduleEntry::frequency},
};

// The action's text in the selection (list false) or in the schedule list.
std::string actionText(int action, bool list) {
  switch (action) {
    case 1:
      return "General System Test";
    case 2:
      return "Quick Battery Test";
    case 3:
      return "Deep Battery Test";
    case 11:
      return "Turn on ups";
    case 21:
      return "Turn off ups";
  }
  if (action >= 100 && action <= 107) {
    return (list ? "Turn On Outlet " : "Turn on outlet ") + std::to_string(action - 99);
  }
  if (action >= 200 && action <= 207) {
    return (list ? "Turn Off Outlet " : "Turn off outlet ") + std::to_string(action - 199);
  }
  return "";
}

const char* nameIn(const char* const* names, int count, int number) {
  return number >= 1 && number <= count ? names[number - 1] : "";
}

// The day of the week (1 = Sunday) of the entry's local date and time.
void storeWeekday(ScheduleEntry& entry) {
  std::tm local{};
  local.tm_year = loadField(entry.year) - 1900;
  local.tm_mon = loadField(entry.month) - 1;
  local.tm_mday = loadField(entry.day);
  local.tm_hour = loadField(entry.hour);
  local.tm_min = loadField(entry.minute);
  local.tm_sec = loadField(entry.second);
  local.tm_isdst = -1;
  if (std::mktime(&local) != static_cast<std::time_t>(-1)) {
    storeField(entry.weekday, local.tm_wday + 1);
  }
}

// The last pair names the button: add a new last entry, replace entry val
// (999: entry 0), or change entry 0. An entry that is not there (a full
// schedule, a number beyond the list) takes nothing. val may become 0.
void applyForm(StatusRecord& record, const PairList& form, int* val) {
  const int count = std::clamp<int>(loadField(record.scheduleCount), 0, kScheduleCapacity);
  const std::string& button = form.empty() ? std::string() : form.back().name;
  int target = 0;
  if (button == "addSchName") {
    if (count == kScheduleCapacity) return;
    storeField(record.scheduleCount, count + 1);
    target = count;
  } else if (button == "editSchName") {
    if (*val == kNewEntry) *val = 0;
    target = *val;
    if (target < 0 || target >= count) return;
  } else if (count == 0) {
    return;
  }
  ScheduleEntry& entry = record.schedule[target];
  for (const FormPair& pair : form) {
    for (const Key& key : kKeys) {
      if (pair.name == key.name) storeDecimal(entry.*key.member, pair.value);
    }
  }
  storeWeekday(entry);
}

// Removes entry n (1-based); the later ones move down. A number outside
// the list removes nothing.
void removeEntry(StatusRecord& record, int64_t n) {
  const int count = std::clamp<int>(loadField(record.scheduleCount), 0, kScheduleCapacity);
  if (n < 1 || n > count) return;
  for (int k = static_cast<int>(n); k < count; ++k) {
    for (const Key& key : kKeys)
      storeField(record.schedule[k - 1].*key.member, loadField(record.schedule[k].*key.member));
    storeField(record.schedule[k - 1].weekday, loadField(record.schedule[k].weekday));
  }
  storeField(record.scheduleCount, count - 1);
}

void writeOptions(PageWriter& out, const char* label, const char* name, int first, int last,
                  int selected) {
  out.print("\n<td nowrap><font class=\"itemName\">%s</font>", label);
  out.print("\n<select class=\"ctrlSelect\" size=\"1\" name=\"%s\">", name);
  for (int v = first; v <= last; ++v) {
    out.print(v == selected ? "\n<option value=%d selected>%d</option>"
                            : "\n<option value=%d>%d</option>",
              v, v);
  }
  out.write("\n</select></td>");
}

void writeNamedOptions(PageWriter& out, const char* label, const char* name, const int* values,
                       int count, int selected, std::string (*text)(int)) {
  out.print("\n<td nowrap><font class=\"itemName\">%s</font>", label);
  out.print("\n<select class=\"ctrlSelect\" size=\"1\" name=\"%s\">", name);
  for (int i = 0; i < count; ++i) {
    out.print(values[i] == selected ? "\n<option value=%d selected>%s</option>"
                                    : "\n<option value=%d>%s</option>",
              values[i], text(values[i]).c_str());
  }
  out.write("\n</select></td>");
}

void writeEntryForm(PageContext& context, int val, bool editing) {
  StatusRecord& record = context.record;
  PageWriter& out = context.out;
  const int count = std::clamp<int>(loadField(record.scheduleCount), 0, kScheduleCapacity);
  const std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);
  const int thisYear = local != nullptr ? local->tm_year + 1900 : kLastYear;
  // Entry val, or a new one: a general test now, its frequency left open.
  ScheduleEntry shown{1, 0, 0, 0, 1, 1, static_cast<int16_t>(thisYear), 0, 0};
  if (val >= 0 && val < count) {
    const ScheduleEntry& entry = record.schedule[val];
    for (const Key& key : kKeys) shown.*key.member = loadField(entry.*key.member);
  } else if (local != nullptr) {
    shown.second = static_cast<int16_t>(local->tm_sec);
    shown.minute = static_cast<int16_t>(local->tm_min);
    shown.hour = static_cast<int16_t>(local->tm_hour);
    shown.day = static_cast<int16_t>(local->tm_mday);
    shown.month = static_cast<int16_t>(local->tm_mon + 1);
  }
  // The years run on past today and past the entry's, so that an entry can
  // always be made and shown (a list that ended in 2022 could not).
  const int lastYear =
      std::clamp(std::max<int>(thisYear, shown.year) + kYearsAhead, kLastYear, 9999);

  out.print("\n<form name=\"%s\" action=\"%s?page=33&val=%d&\" METHOD=POST>", "scheduleForm",
            kProgramPath, val);
  out.print(
      "\n<table width=\"98%%\" align=\"center\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\" "
      "bgcolor=\"%s\">",
      kPageColour);
  out.print(
      "\n<tr bgcolor=\"%s\">\n<td height=\"22\"><font class=\"itemTitle\">&nbsp;Schedule</font>"
      "</td>\n</tr>",
      kTitleRowColour);
  out.print(
      "\n<tr>\n<td>\n<table width=\"100%%\" border=\"0\" cellspacing=\"1\" cellpadding=\"2\" "
      "bgcolor=\"%s\">",
      editing ? "#AEFDE6" : "#eef5ff");

  int actions[5 + 2 * kOutletCount] = {1, 2, 3, 11, 21};
  int actionCount = 5;
  const int outlets = outletsShown(record);
  for (int n = 1; n <= outlets; ++n) actions[actionCount++] = 99 + n;
  for (int n = 1; n <= outlets; ++n) actions[actionCount++] = 199 + n;
  out.write("\n<tr>");
  writeNamedOptions(out, "Type&nbsp;&nbsp;&nbsp;", "actSelName", actions, actionCount, shown.action,
                    [](int v) { return actionText(v, false); });
  out.write("\n</tr>\n<tr>");
  writeOptions(out, "Month&nbsp;", "monthSelName", 1, 12, shown.month);
  writeOptions(out, "&nbsp;&nbsp;&nbsp;Day&nbsp;", "daySelName", 1, 31, shown.day);
  writeOptions(out, "&nbsp;&nbsp;&nbsp;Year&nbsp;", "yrSelName", kFirstYear, lastYear, shown.year);
  out.write("\n</tr>\n<tr>");
  writeOptions(out, "Hour&nbsp;&nbsp;&nbsp;", "hourSelName", 0, 23, shown.hour);
  writeOptions(out, "&nbsp;&nbsp;&nbsp;&nbsp;Min&nbsp;", "minSelName", 0, 59, shown.minute);
  writeOptions(out, "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;Sec&nbsp;", "secSelName", 0, 59, shown.second);
  constexpr int kFrequencyCodes[] = {1, 2, 3, 4};
  writeNamedOptions(out, "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;Freq.&nbsp;", "freqSelName",
                    kFrequencyCodes, 4, shown.frequency,
                    [](int v) { return std::string(nameIn(kFrequencies, 4, v)); });
  out.write("\n</tr>\n</table>\n</td>\n</tr>");
  out.print("\n<tr bgcolor=\"%s\">\n<td align=\"right\">", kTitleRowColour);
  out.write("\n<input class=\"ctrlButton\" type=submit name=\"addSchName\" value=\" Add \">");
  if (count > 0) {
    out.write("\n<input class=\"ctrlButton\" type=submit name=\"editSchName\" value=\"Replace\">");
  }
  out.write("\n<input class=\"ctrlButton\" type=reset value=\"Cancel\">");
  out.write("\n</td>\n</tr>\n</table>\n</form>");
}

void writeList(PageContext& context) {
  StatusRecord& record = context.record;
  PageWriter& out = context.out;
  out.write("\n<p> </p>");
  openBox(out, " Event Description");
  const int count = std::clamp<int>(loadField(record.scheduleCount), 0, kScheduleCapacity);
  for (int k = 0; k < count; ++k) {
    const ScheduleEntry& e = record.schedule[k];
    out.write("\n<tr>\n<td nowrap>");
    out.print("\n<a href=\"%s?page=33&val=-%d&\" class=\"menu\">", kProgramPath, k + 1);
    out.write("&nbsp;Remove</a>");
    out.print("\n<a href=\"%s?page=33&val=%d&\" class=\"menu\">", kProgramPath, k);
    out.write("&nbsp;Edit&nbsp;</a></td>");
    out.print(
        "\n<td nowrap><font class=\"itemData\">%s - %s, %d %d, %4d, %d:%d:%d, %s</font></td>"
        "\n</tr>",
        actionText(loadField(e.action), true).c_str(), nameIn(kWeekdays, 7, loadField(e.weekday)),
        loadField(e.month), loadField(e.day), loadField(e.year), loadField(e.hour),
        loadField(e.minute), loadField(e.second), nameIn(kFrequencies, 4, loadField(e.frequency)));
  }
  closeBox(out);
}

}  // namespace

void schedulePage(PageContext& context) {
  int val = context.request.val;
  const bool posted = context.request.method == kMethodPost;
  if (posted) {
    applyForm(context.record, context.request.form, &val);
    context.sender.sendDatagram(nullptr, kControlPort, kSaveSettingsCommand, 0, nullptr);
  }
  const bool editing = !posted && val != kNewEntry && val >= 0;
  if (val < 0) {
    removeEntry(context.record, -int64_t{val});
    // The form must not post the removal again along with a new entry.
    val = kNewEntry;
  }
  writeFrameTop(context, 33);
  writeEntryForm(context, val, editing);
  writeList(context);
  writeFrameBottom(context.out);
}

}  // namespace orvik
