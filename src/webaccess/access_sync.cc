#include "webaccess/access_sync.h"

#include <filesystem>

#include "shared/access_file.h"
#include "shared/control_datagram.h"
#include "shared/file_replace.h"

namespace orvik {

std::string userFileText(const std::string& accessText) {
  Account account;
  // The password is the rest of its line in both files; only the user name
  // must be free of the user file's separator.
  if (!parseAccessFile(accessText, &account) || !isStorableUser(account.user)) return "";
  return account.user + ":" + account.password + "\n";
}

bool syncUserFile(const std::string& accessPath, const std::string& userPath, FileSystem* files) {
  std::string access;
  if (!readWholeFile(accessPath, &access)) access.clear();
  const std::string tempName = std::filesystem::path(userPath).filename().string() + ".tmp";
  // Only the web server, which runs as the same user, reads the passwords.
  return replaceFile(userPath, tempName, userFileText(access), files,
                     std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

int serveAccessNotices(Sockets& sockets, uint16_t port, const std::function<void()>& onNotice) {
  std::unique_ptr<UdpSocket> socket = sockets.openUdp();
  if (!socket || socket->bind({kLoopbackIpv4, port}) != 0) return -1;
  uint8_t buffer[kMaxReceivedDatagram];
  for (;;) {
    const int size = socket->receive(buffer, sizeof buffer, 60000);
    if (size == kReceiveTimedOut) continue;
    if (size < 0) return 0;
    ControlDatagram datagram;
    if (decodeControlDatagram(buffer, static_cast<std::size_t>(size), &datagram) == 0 &&
        datagram.command == kAccessChangedCommand && datagram.argument == kAccessChangedArgument) {
      onNotice();
    }
  }
}

}  // namespace orvik
