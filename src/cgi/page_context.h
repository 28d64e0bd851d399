// What a page handler works with during one request.
#pragma once

#include <string>

#include "cgi/page_writer.h"
#include "cgi/request.h"
#include "platform/file_system.h"
#include "shared/datagram_sender.h"
#include "shared/status_record.h"

namespace orvik {

struct PageContext {
  StatusRecord& record;
  const Request& request;
  PageWriter& out;
  // Tells the service about changed settings; its diagnostics go into out.
  DatagramSender& sender;
  // The service's folder as seen from the program: "../" under a web server.
  // The logs and "link.cfg" are read from here.
  std::string serviceFolder;
  // Makes the files the pages rewrite durable; null syncs nothing.
  FileSystem* files = nullptr;
};

}  // namespace orvik
