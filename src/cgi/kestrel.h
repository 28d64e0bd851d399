// One run of the management pages' CGI program, from the request to the
// response, with the platform handed in: the real one from main(), fakes in
// tests.
#pragma once

#include <string>

#include "cgi/request.h"
#include "platform/file_system.h"
#include "platform/shared_memory.h"
#include "platform/sockets.h"

namespace orvik {

struct KestrelRun {
  SharedMemory& memory;
  Sockets& sockets;
  GetVariable variable;
  ReadBody readBody;
  // Where the logs and "link.cfg" are: "../" beside a web server's cgi-bin.
  std::string serviceFolder;
  // Makes the files the pages rewrite durable; null syncs nothing.
  FileSystem* files = nullptr;
};

// Maps the record, decodes the request, renders the page it names into
// *response (header included) and returns the exit status: 0 after a page,
// 1 with an empty response when a POST's body cannot be read. A POST from
// a page of another site is answered "403 Forbidden" and changes nothing.
int runKestrel(const KestrelRun& run, std::string* response);

}  // namespace orvik
