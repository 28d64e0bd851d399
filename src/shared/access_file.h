// The web server's access file, "defaults.aut" in the service's folder: who
// may use the management pages. Page 61 writes it; the web server's helper
// (src/webaccess) turns it into the server's own user file.
//
//   [/]
//   USER=PASSWORD
//   [/java]
//   all=*
//   [/help]
//   all=*
//
// Pure functions; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvik {

inline constexpr char kAccessFileName[] = "defaults.aut";
// The datagram that tells the web server's helper, on 127.0.0.1, that the
// file changed.
inline constexpr uint16_t kAccessNoticePort = 8881;
inline constexpr uint32_t kAccessChangedCommand = 4660;
inline constexpr int32_t kAccessChangedArgument = 22136;
// Longest user name or password the file takes.
inline constexpr std::size_t kMaxAccountText = 63;

struct Account {
  std::string user;
  std::string password;
};

// The account of the line after the last line holding "[/]": the user
// before its first "=", the password after it, without the line end.
// False when no "[/]" line has a line after it.
bool parseAccessFile(std::string_view text, Account* account);

// The six lines, each ended by a line feed.
std::string accessFileText(const Account& account);

// Whether the file can hold the text as the line's user name or password
// and read it back unchanged: at most 63 characters, none of "=", "[", CR,
// LF or NUL; a user name is not empty and holds no ":" either (the web
// server's user file separates the name from the password with it).
bool isStorableUser(std::string_view user);
bool isStorablePassword(std::string_view password);

}  // namespace orvik
