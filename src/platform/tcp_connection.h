// A TCP client connection, as the mail action needs it: every step that can
// wait has a limit, so a dead address, a server that never reads or one that
// never answers costs a bounded time.
//
// Addresses and ports are as in sockets.h. One connection belongs to one
// thread; destroying it closes it.
#pragma once

#include <cstddef>

#include "platform/sockets.h"

namespace orvik {

class TcpConnection {
 public:
  virtual ~TcpConnection() = default;

  // Connects within waitMs; 0 or -1. The any and broadcast addresses are
  // refused at once, without traffic: no server can be there.
  virtual int connect(const Ipv4Endpoint& to, int waitMs) = 0;
  // Sends all size bytes within waitMs in all; 0 or -1 (the peer may have
  // taken a part). A closed peer never raises a signal.
  virtual int sendAll(const void* data, std::size_t size, int waitMs) = 0;
  // Waits at most waitMs until receive() would not block: 1 (data, or the
  // peer's end), 0 when the time ran out, -1 on an error.
  virtual int waitReadable(int waitMs) = 0;
  // Takes what has arrived, at most capacity bytes, without waiting: the
  // bytes taken, 0 at the peer's end, -1 on an error or when nothing is there.
  virtual int receive(void* buffer, std::size_t capacity) = 0;
  // The OS's error number of the last step that failed, for diagnostic lines.
  virtual int lastError() const = 0;
};

}  // namespace orvik
