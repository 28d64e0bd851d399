// Rewrites one of the files the management pages write, over and over,
// through the pages themselves, each time with contents made from a counter
// that starts at FIRST, so that a file holding parts of two writes, or
// none, is recognisable. The crash test kills it at random moments.
//
//   page_write_loop FOLDER access|links|snmp|snmp-add FIRST [COUNT]
//
// access: page 61 writes FOLDER/defaults.aut for user uN, password pN;
// links: page 64 writes FOLDER/link.cfg, six lines "N-i" padded to 63;
// snmp: page 23 adds the community cN to the file that FOLDER/platform.ini
// names, after a long comment block, and removes it again;
// snmp-add: the same without the removal, so that every community stays.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cgi/kestrel.h"
#include "platform/fake_platform.h"
#include "platform/posix_backends.h"

namespace {

std::string padded(const std::string& text) { return text + std::string(63 - text.size(), 'x'); }

}  // namespace

int main(int argc, char** argv) {
  using namespace orvik;
  if (argc < 4) return 2;
  const std::string folder = std::string(argv[1]) + "/";
  const std::string kind = argv[2];
  const long first = std::strtol(argv[3], nullptr, 10);
  const long count = argc > 4 ? std::strtol(argv[4], nullptr, 10) : -1;
  FakeSharedMemory memory;
  FakeSockets sockets;
  std::string body;
  std::size_t at = 0;
  const KestrelRun run{
      memory,
      sockets,
      [&](const char* name) -> const char* {
        static std::string length;
        if (std::strcmp(name, "REQUEST_METHOD") == 0) return "POST";
        if (std::strcmp(name, "QUERY_STRING") == 0) {
          return kind == "access" ? "page=61" : kind == "links" ? "page=64" : "page=23";
        }
        if (std::strcmp(name, "CONTENT_LENGTH") == 0) {
          length = std::to_string(body.size());
          return length.c_str();
        }
        return nullptr;
      },
      [&](char* buffer, std::size_t size) {
        const std::size_t n = std::min(size, body.size() - at);
        std::memcpy(buffer, body.data() + at, n);
        at += n;
        return n;
      },
      folder,
      &posixFileSystem()};
  for (long n = first; count < 0 || n - first < count; ++n) {
    const std::string number = std::to_string(n);
    std::string second;
    if (kind == "access") {
      body = "UserName=u" + number + "&PwdName1=p" + number + "&PwdName2=p" + number +
             "&ApplyUser=+Apply";
    } else if (kind == "links") {
      body.clear();
      for (int i = 1; i <= 3; ++i) {
        body += "Link" + std::to_string(i) +
                "Name=" + padded(number + "-" + std::to_string(2 * i - 1)) + "&Link" +
                std::to_string(i) + "Desc=" + padded(number + "-" + std::to_string(2 * i)) + "&";
      }
      body += "ApplyLink=+Apply";
    } else {
      body = "CmName=c" + number + "&CmAdd=+Add";
      if (kind == "snmp") second = "CmSelect=1&CmRemove=Remove";
    }
    for (const std::string& next : {body, second}) {
      if (next.empty()) continue;
      body = next;
      at = 0;
      std::string response;
      if (runKestrel(run, &response) != 0) return 1;
    }
  }
  return 0;
}
