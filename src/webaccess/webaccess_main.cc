// webaccess, the management pages' web server helper: makes lighttpd's user
// file from the access file at start and whenever page 61 changes it.
//
//   webaccess ACCESS_FILE USER_FILE [PORT]
//
// ACCESS_FILE is the service's "defaults.aut", USER_FILE the file of
// lighttpd's auth.backend.plain.userfile; PORT defaults to 8881 on
// 127.0.0.1. Runs until stopped by a signal; it keeps no state of its own.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/posix_backends.h"
#include "shared/access_file.h"
#include "webaccess/access_sync.h"

int main(int argc, char** argv) {
  using namespace orvik;
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: webaccess ACCESS_FILE USER_FILE [PORT]\n");
    return 2;
  }
  const std::string access = argv[1];
  const std::string users = argv[2];
  const long port = argc == 4 ? std::strtol(argv[3], nullptr, 10) : kAccessNoticePort;
  if (port <= 0 || port > 65535) {
    std::fprintf(stderr, "webaccess: bad port %s\n", argv[3]);
    return 2;
  }
  FileSystem& files = posixFileSystem();
  auto sync = [&] {
    if (!syncUserFile(access, users, &files)) {
      std::fprintf(stderr, "webaccess: cannot write %s\n", users.c_str());
    }
  };
  sync();
  if (serveAccessNotices(posixSockets(), static_cast<uint16_t>(port), sync) != 0) {
    std::fprintf(stderr, "webaccess: cannot listen on 127.0.0.1 port %ld\n", port);
    return 1;
  }
  return 1;
}
