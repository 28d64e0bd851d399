#include "shared/access_file.h"

namespace orvik {
namespace {

bool storable(std::string_view text) {
  return text.size() <= kMaxAccountText &&
         text.find_first_of(std::string_view("=[\r\n\0", 5)) == std::string_view::npos;
}

}  // namespace

bool parseAccessFile(std::string_view text, Account* account) {
  bool found = false;
  bool afterSection = false;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (afterSection) {
      const std::size_t equals = line.find('=');
      account->user = std::string(line.substr(0, equals));
      account->password =
          equals == std::string_view::npos ? std::string() : std::string(line.substr(equals + 1));
      found = true;
    }
    afterSection = line.find("[/]") != std::string_view::npos;
  }
  return found;
}

std::string accessFileText(const Account& account) {
  return "[/]\n" + account.user + "=" + account.password + "\n[/java]\nall=*\n[/help]\nall=*\n";
}

bool isStorableUser(std::string_view user) {
  return !user.empty() && storable(user) && user.find(':') == std::string_view::npos;
}

bool isStorablePassword(std::string_view password) { return storable(password); }

}  // namespace orvik
