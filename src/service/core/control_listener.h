// The receiving side of the control port: a table of up to eight listening
// datagram sockets, each with its handler and its own receive thread.
//
// Listeners are bound to the loopback address only: the commands carry no
// authentication and can stop the service or switch the UPS off, so only
// programs on this machine may send them.
//
// Threads: openListener and closeListeners run on the main window's thread;
// each handler runs on its listener's receive thread. A receive thread
// sleeps until a datagram comes; closeListeners cancels its wait, so it ends
// at once (after the handler call in progress).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "platform/clock.h"
#include "platform/sockets.h"
#include "shared/datagram_sender.h"

namespace orvik {

inline constexpr int kMaxListeners = 8;
// The longest single wait for a datagram; only a safety net, since a close
// cancels the wait.
inline constexpr int kReceiveWaitMs = 60000;
// The pause after a failed receive, so a broken socket cannot make the thread spin.
inline constexpr int kReceiveErrorPauseMs = 200;
inline constexpr char kListenerOpenFailedLine[] = "openSocket(), Can not open stream socket.\n";
inline constexpr char kListenerBindFailedLine[] = "OpenSocket(), Unable to bind socket address\n";

// Gets command, argument and the text (null when the datagram carries none).
using DatagramHandler = std::function<void(uint32_t command, int32_t argument, const char* text)>;

class ControlListener {
 public:
  ControlListener(Sockets& sockets, Clock& clock,
                  DiagnosticSink diagnostics = writeToStandardOutput);
  ~ControlListener();  // closes what is still open

  // Binds a datagram socket to 127.0.0.1:port (0 picks a free port), stores
  // it with its handler in the first free entry and starts its receive
  // thread. 0, or -1 when the socket cannot be opened or bound or all
  // entries are in use.
  int openListener(uint16_t port, DatagramHandler handler);
  // Ends every receive thread, then closes every listener socket.
  void closeListeners();
  // Where entry `index`'s socket is bound; -1 when the entry is free.
  int listenerEndpoint(int index, Ipv4Endpoint* out) const;

 private:
  struct Entry {
    std::unique_ptr<UdpSocket> socket;  // null while the entry is free
    DatagramHandler handler;
    std::thread thread;
  };

  void receiveLoop(Entry& entry);

  Sockets& sockets_;
  Clock& clock_;
  DiagnosticSink diagnostics_;
  std::array<Entry, kMaxListeners> table_;
  std::atomic<bool> stopping_{false};
};

}  // namespace orvik
