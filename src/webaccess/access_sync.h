// What the web server enforces, made from the access file "defaults.aut":
// lighttpd's "plain" user file, one "USER:PASSWORD" line. The file is
// remade when webaccess starts and whenever the pages send the access
// notice (4660, 22136) to 127.0.0.1 port 8881.
//
// The functions run on webaccess's one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/file_system.h"
#include "platform/sockets.h"

namespace orvik {

// The user file's text for an access file's text: its account as one line,
// or nothing at all, so that nobody gets in, when the text holds no
// account or a user name the user file cannot hold (empty, or with ":").
std::string userFileText(const std::string& accessText);

// Replaces the user file whole from the access file; a missing or
// unreadable access file gives an empty user file. False when the user file
// could not be written.
bool syncUserFile(const std::string& accessPath, const std::string& userPath, FileSystem* files);

// Receives datagrams on 127.0.0.1:port and calls onNotice for each access
// notice among them, until receiving fails. -1 at once when the port
// cannot be bound.
int serveAccessNotices(Sockets& sockets, uint16_t port, const std::function<void()>& onNotice);

}  // namespace orvik
