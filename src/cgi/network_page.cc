// Page 23: the SNMP agent's community names and trap receivers, kept in
// the agent's own configuration file. Where that file is comes from
// "platform.ini" in the service's folder (SnmpdConf=PATH).
#include <set>
#include <string>
#include <vector>

#include "cgi/form_fields.h"
#include "cgi/page_frame.h"
#include "cgi/pages.h"
#include "cgi/snmp_file.h"
#include "platform/platform_ini.h"
#include "shared/control_datagram.h"
#include "shared/file_replace.h"

namespace orvik {
namespace {

// A file that Debian's snmpd reads ("includeDir /etc/snmp/snmpd.conf.d").
constexpr char kDefaultSnmpFile[] = "/etc/snmp/snmpd.conf.d/orvik.conf";
constexpr char kSnmpTempName[] = "snmpd.conf.tmp";
// Community names are passwords: the agent's file is not for every user.
constexpr auto kSnmpFilePerms = std::filesystem::perms::owner_read |
                                std::filesystem::perms::owner_write |
                                std::filesystem::perms::group_read;

std::string snmpFilePath(const PageContext& context) {
  return PlatformIni::load(context.serviceFolder + "platform.ini")
      .get("SnmpdConf", kDefaultSnmpFile);
}

std::string trimmedEntry(const std::string& value) {
  const std::size_t first = value.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return value.substr(first, value.find_last_not_of(" \t") - first + 1);
}

class SnmpFile {
 public:
  SnmpFile(std::string path, FileSystem* files) : path_(std::move(path)), files_(files) {}

  std::vector<std::string> entries(const char* keyword) const {
    std::string text;
    if (!readWholeFile(path_, &text)) return {};
    return snmpEntries(text, keyword);
  }
  // A missing file is made; the entry goes after the keyword's last one.
  // Two saves at once take turns from the read to the rename, so neither
  // loses the other's entry.
  bool add(const char* keyword, const std::string& entry) {
    return updateFile(
        path_, kSnmpTempName,
        [&](const std::string* current, std::string* contents) {
          *contents = withSnmpEntry(current != nullptr ? *current : "", keyword, entry);
          return true;
        },
        files_, kSnmpFilePerms);
  }
  bool remove(const char* keyword, const std::set<int>& numbers) {
    if (numbers.empty()) return false;
    return updateFile(
        path_, kSnmpTempName,
        [&](const std::string* current, std::string* contents) {
          if (current == nullptr) return false;
          *contents = withoutSnmpEntries(*current, keyword, numbers);
          return true;
        },
        files_);
  }

 private:
  std::string path_;
  FileSystem* files_;
};

// The button pressed is the form's last pair. False when a name to add
// was refused.
bool applyForm(SnmpFile& file, const PairList& form) {
  if (form.empty()) return true;
  const std::string& button = form.back().name;
  bool accepted = true;
  std::set<int> communities, receivers;
  for (const FormPair& pair : form) {
    const bool community = pair.name == "CmName" && button == "CmAdd";
    if (community || (pair.name == "TrpName" && button == "TrpAdd")) {
      const char* keyword = community ? kCommunityKeyword : kTrapSinkKeyword;
      const std::string entry = trimmedEntry(pair.value);
      // Nothing typed adds nothing; a line break or "#" would make the
      // agent read something else than what was typed.
      if (entry.empty()) continue;
      if (!isWritableSnmpEntry(keyword, entry)) {
        accepted = false;
        continue;
      }
      file.add(keyword, entry);
    }
    if (pair.name == "CmSelect" && button == "CmRemove") {
      if (const int n = parseDecimal(pair.value); n != 0) communities.insert(n);
    }
    // Several receivers may be selected; their numbers are those of the
    // list as it was shown, so all go in one rewrite.
    if (pair.name == "TrpSelect" && button == "TrpRemove") {
      if (const int n = parseDecimal(pair.value); n != 0) receivers.insert(n);
    }
  }
  file.remove(kCommunityKeyword, communities);
  file.remove(kTrapSinkKeyword, receivers);
  return accepted;
}

void writeButtons(PageWriter& out, const char* name, const char* value) {
  out.print("\n<input class=\"ctrlButton\" type=submit name=\"%s\" value=\"%s\">", name, value);
  out.write("\n<input class=\"ctrlButton\" type=reset value=\"Cancel\">");
}

struct ListBox {
  const char* title;
  const char* form;
  const char* addLabel;
  const char* field;
  const char* addButton;
  const char* listLabel;
  const char* select;
  bool receivers;  // a multiple selection, options written without their end tag
  const char* removeButton;
  const char* firstOption;
};

constexpr ListBox kCommunities{"&nbsp;Community",
                               "cmForm1",
                               "Add Community Name",
                               "CmName",
                               "CmAdd",
                               "Community Name",
                               "CmSelect",
                               false,
                               "CmRemove",
                               "** community name **"};
constexpr ListBox kReceivers{"&nbsp;Trap Receiver",
                             "TrpForm1",
                             "Add Receiver IP&nbsp;",
                             "TrpName",
                             "TrpAdd",
                             "Receiver IP",
                             "TrpSelect",
                             true,
                             "TrpRemove",
                             "** snmp trap receiver **"};

void writeListBox(PageWriter& out, const ListBox& box, const std::vector<std::string>& entries) {
  out.print("\n<form name=\"%s\" method=\"post\" action=\"%s?page=23&\">", box.form, kProgramPath);
  openBox(out, box.title);
  writeLabelCell(out, box.addLabel);
  out.print("\n<td nowrap><input class=\"ctrlText\" type=\"text\" name=\"%s\" size=\"20\">",
            box.field);
  writeButtons(out, box.addButton, " Add");
  out.write("</td>\n</tr>");
  writeLabelCell(out, box.listLabel);
  out.write("\n<td nowrap>");
  out.print(box.receivers
                ? "\n<select class=\"ctrlSelect\" multiple=\"multiple\" name=\"%s\" size=\"12\">"
                : "\n<select class=\"ctrlSelect\" name=\"%s\" size=\"12\">",
            box.select);
  out.print("\n<option value=\"0\">%s</option>", box.firstOption);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    out.print(
        box.receivers ? "\n<option value=\"%02d\">%s" : "\n<option value=\"%02d\">%s</option>",
        static_cast<int>(i + 1), htmlEscape(entries[i]).c_str());
  }
  out.write("\n</select>");
  writeButtons(out, box.removeButton, "Remove");
  out.write("</td>\n</tr>");
  closeBox(out);
  out.write("\n</form>");
}

}  // namespace

void networkPage(PageContext& context) {
  SnmpFile file(snmpFilePath(context), context.files);
  bool accepted = true;
  if (context.request.method == kMethodPost) {
    accepted = applyForm(file, context.request.form);
    context.sender.sendDatagram(nullptr, kControlPort, kSaveSettingsCommand, 0, nullptr);
  }
  PageWriter& out = context.out;
  writeFrameTop(context, 23);
  writeListBox(out, kCommunities, file.entries(kCommunityKeyword));
  out.write("\n<a name=\"2\"></a>");
  writeListBox(out, kReceivers, file.entries(kTrapSinkKeyword));
  if (!accepted) {
    writeCounterNotice(out, "Data Entry Error: Community name or receiver IP incorrect");
  }
  out.write("\n<table width=\"98%\" align=\"center\">\n<tr>");
  out.write("\n<td><br><b>Note:");
  out.write("\nThe new settings may make your current connection invalid. Log in using the");
  out.write("\nnew community name after  pushing the Save button.</b></td>");
  out.write("\n</tr>\n</table>");
  writeFrameBottom(out);
}

}  // namespace orvik
