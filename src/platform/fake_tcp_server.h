// A scripted TCP server for tests, reached by FakeSockets::openTcp once set
// there. It answers in turns: the client's first wait for data after the
// connect, and its first wait after each send, start the next turn of the
// script. Waits sleep the clock, so a reply limit passes in fake time. What
// the client sent is kept whole. For one thread at a time.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/tcp_connection.h"

namespace orvik {

// The error number of a wait that ran out, as Linux numbers it.
inline constexpr int kFakeTimedOut = 110;

class ScriptedTcpServer {
 public:
  explicit ScriptedTcpServer(Clock& clock) : clock_(clock) {}

  // A turn whose bytes arrive afterMs into it, all at once: a client takes
  // them in pieces of its capacity. A turn never started stays unsent.
  void reply(std::string bytes, int64_t afterMs = 0) {
    script_.push_back({std::move(bytes), afterMs});
  }
  // A turn that never answers; so are all turns past the script's end.
  void silence() { script_.push_back({"", -1}); }
  // A turn in which the server closes the connection.
  void hangUp() { script_.push_back({"", 0, true}); }

  bool connectHangs = false;  // every connect waits out its limit and fails
  bool neverReads = false;    // every send waits out its limit and fails

  std::string received;  // every byte the clients sent
  Ipv4Endpoint connectedTo;
  int connections = 0;  // opened
  int closed = 0;       // destroyed

  std::unique_ptr<TcpConnection> open();

 private:
  friend class ScriptedConnection;
  struct Turn {
    std::string bytes;
    int64_t afterMs = 0;  // < 0: never
    bool hangUp = false;
  };
  Clock& clock_;
  std::deque<Turn> script_;
};

}  // namespace orvik
