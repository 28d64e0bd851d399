// Pages 61, 199 and 200: the login user and password of the management
// pages, kept in the web server's access file "defaults.aut" in the
// service's folder. 199 is 61 without the menus, 200 is 199 in Russian
// (its texts in the Windows-1251 code page, as the browser is told nothing
// else).
#include <cstdio>
#include <string>

#include "cgi/form_fields.h"
#include "cgi/page_frame.h"
#include "cgi/pages.h"
#include "shared/access_file.h"
#include "shared/file_replace.h"

namespace orvik {
namespace {

constexpr char kAccessTempName[] = "defaults.aut.tmp";
constexpr auto kAccessFilePerms =
    std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;

struct UserTexts {
  int page;
  const char* tab;  // null: the usual frame of page 61
  const char* entry;
  const char* title;
  const char* userLabel;
  const char* passwordLabel;
  const char* retypeLabel;
  const char* apply;
  const char* cancel;
  const char* accepted;  // null: page 61 shows only a rejection
  const char* rejected;
};

constexpr char kRejected[] = "Data Entry Error: User or password incorrect";

constexpr UserTexts kUserPage{61,
                              nullptr,
                              nullptr,
                              "&nbsp;Login User and Password Change",
                              "User Name :&nbsp;",
                              "New Password :&nbsp;",
                              "Retype New Password :&nbsp;",
                              " Apply",
                              "Cancel",
                              nullptr,
                              kRejected};
constexpr UserTexts kPlainUserPage{199,
                                   "System",
                                   "User",
                                   "&nbsp;Login User and Password Change",
                                   "User Name :&nbsp;",
                                   "New Password :&nbsp;",
                                   "Retype New Password :&nbsp;",
                                   " Apply",
                                   "Cancel",
                                   "User account was changed",
                                   kRejected};
constexpr UserTexts kRussianUserPage{
    200,
    "\xD1\xE8\xF1\xF2\xE5\xEC\xE0",                      // Система
    "\xCF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xE5\xEB\xFC",  // Пользователь
    "&nbsp;\xD1\xEC\xE5\xED\xE0 \xE8\xEC\xE5\xED\xE8 \xEF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xE5"
    "\xEB\xFF \xE8 \xEF\xE0\xF0\xEE\xEB\xFF",  // Смена имени пользователя и пароля
    "\xC8\xEC\xFF \xEF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xE5\xEB\xFF :&nbsp;",  // Имя пользователя
    "\xC2\xE2\xE5\xE4\xE8\xF2\xE5 \xED\xEE\xE2\xFB\xE9 \xEF\xE0\xF0\xEE\xEB\xFC :&nbsp;",
    // Введите новый пароль (еще раз)
    "\xC2\xE2\xE5\xE4\xE8\xF2\xE5 \xED\xEE\xE2\xFB\xE9 \xEF\xE0\xF0\xEE\xEB\xFC \xE5\xF9\xE5 "
    "\xF0\xE0\xE7 :&nbsp;",
    " \xD1\xEE\xF5\xF0\xE0\xED\xE8\xF2\xFC",  // Сохранить
    "\xCE\xF2\xEC\xE5\xED\xE0",               // Отмена
    // Учетная запись пользователя была изменена
    "\xD3\xF7\xE5\xF2\xED\xE0\xFF \xE7\xE0\xEF\xE8\xF1\xFC \xEF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2"
    "\xE5\xEB\xFF \xE1\xFB\xEB\xE0 \xE8\xE7\xEC\xE5\xED\xE5\xED\xE0",
    // Ошибка ввода данных: Неверное имя пользователя или пароль
    "\xCE\xF8\xE8\xE1\xEA\xE0 \xE2\xE2\xEE\xE4\xE0 \xE4\xE0\xED\xED\xFB\xF5: \xCD\xE5\xE2\xE5"
    "\xF0\xED\xEE\xE5 \xE8\xEC\xFF \xEF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xE5\xEB\xFF \xE8\xEB\xE8 "
    "\xEF\xE0\xF0\xEE\xEB\xFC "};

enum class Outcome { kNone, kChanged, kRejected };

void reportFileError(const std::string& path) {
  std::fprintf(stderr, "ERROR: failed to create or open ( %s ).\n", path.c_str());
}

// The pairs in order: a user name, the two password entries, the apply
// button. A refused text rejects the whole request, so the file never
// holds what the user did not type.
Outcome applyForm(PageContext& context, const std::string& path, Account* account) {
  Account posted = *account;
  std::string retyped;
  bool apply = false;
  bool rejected = false;
  for (const FormPair& pair : context.request.form) {
    if (pair.name == "UserName") {
      rejected |= pair.valueCut || !isStorableUser(pair.value);
      posted.user = pair.value;
    } else if (pair.name == "PwdName1") {
      rejected |= pair.valueCut || !isStorablePassword(pair.value);
      posted.password = pair.value;
    } else if (pair.name == "PwdName2") {
      retyped = pair.value;
    } else if (pair.name == "ApplyUser") {
      apply = true;
    }
  }
  if (rejected) return Outcome::kRejected;
  if (!apply) return Outcome::kNone;
  if (posted.password != retyped || !isStorableUser(posted.user)) return Outcome::kRejected;
  // Under the folder's lock, so that two saves at once do not write into
  // one temporary file.
  const auto whole = [&](const std::string*, std::string* contents) {
    *contents = accessFileText(posted);
    return true;
  };
  if (!updateFile(path, kAccessTempName, whole, context.files, kAccessFilePerms)) {
    reportFileError(path);
    return Outcome::kNone;
  }
  account->user = posted.user;
  context.sender.sendDatagram(nullptr, kAccessNoticePort, kAccessChangedCommand,
                              kAccessChangedArgument, nullptr);
  return Outcome::kChanged;
}

void writePasswordRow(PageWriter& out, const char* label, const char* name) {
  writeLabelCell(out, label);
  out.print(
      "\n<td><input type=\"password\" class=\"ctrlText\" name=\"%s\" size=\"28\" value=\"\"></td>"
      "\n</tr>",
      name);
}

void userPage(PageContext& context, const UserTexts& texts) {
  const std::string path = context.serviceFolder + kAccessFileName;
  Account account;
  std::string text;
  if (!readWholeFile(path, &text)) {
    reportFileError(path);
  } else {
    parseAccessFile(text, &account);
  }
  const Outcome outcome =
      context.request.method == kMethodPost ? applyForm(context, path, &account) : Outcome::kNone;

  PageWriter& out = context.out;
  // The envelope names no character set; without this a browser reads the
  // Russian page in its own default and shows nothing readable. Within the
  // first 1024 bytes, where browsers look for it.
  if (texts.page == 200) {
    out.write("\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">");
  }
  if (texts.tab == nullptr) {
    writeFrameTop(context, texts.page);
  } else {
    writeReducedFrameTop(context, texts.tab, texts.entry);
  }
  out.print("\n<form name=\"inputForm\" method=\"post\" action=\"%s?page=%d&\">", kProgramPath,
            texts.page);
  openBox(out, texts.title);
  writeLabelCell(out, texts.userLabel);
  out.print(
      "\n<td><input type=\"text\" class=\"ctrlText\" name=\"%s\" size=\"28\" value=\"%s\"></td>"
      "\n</tr>",
      "UserName", htmlEscape(account.user).c_str());
  writePasswordRow(out, texts.passwordLabel, "PwdName1");
  writePasswordRow(out, texts.retypeLabel, "PwdName2");
  out.print("\n</table>\n</td>\n</tr>\n<tr bgcolor=\"%s\">\n<td align=\"right\">", kTitleRowColour);
  out.print("\n<input class=\"ctrlButton\" type=submit name=\"ApplyUser\" value=\"%s\">",
            texts.apply);
  out.print("\n<input class=\"ctrlButton\" type=reset value=\"%s\">", texts.cancel);
  out.write("\n</td>\n</tr>\n</table>\n</form>");
  out.write("\n<p>");
  if (outcome == Outcome::kRejected) writeCounterNotice(out, texts.rejected);
  if (outcome == Outcome::kChanged && texts.accepted != nullptr) {
    writeCounterNotice(out, texts.accepted);
  }
  writeFrameBottom(out);
}

}  // namespace

void userAccountPage(PageContext& context) { userPage(context, kUserPage); }
void plainUserAccountPage(PageContext& context) { userPage(context, kPlainUserPage); }
void russianUserAccountPage(PageContext& context) { userPage(context, kRussianUserPage); }

}  // namespace orvik
