// An in-process network for tests. Fake sockets reach each other by port: a
// datagram sent to an address and port arrives at the fake socket bound to
// that port on that address (or on any address). Every datagram sent is kept
// for inspection, and opens, sends and receives can be made to fail. TCP
// connections reach a scripted server.
// Safe to use from several threads.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/fake_tcp_server.h"
#include "platform/sockets.h"

namespace orvik {

class FakeSockets final : public Sockets {
 public:
  struct Sent {
    int socket = 0;  // number() of the sending socket
    Ipv4Endpoint to;
    std::vector<uint8_t> bytes;
  };

  FakeSockets();
  ~FakeSockets() override;

  std::unique_ptr<UdpSocket> openUdp() override;
  // A connection to the server set below; without one, or while opens are
  // made to fail, null.
  std::unique_ptr<TcpConnection> openTcp(int* error) override;
  // Knows "localhost", dotted addresses and the names added below.
  int resolveHostName(const char* name, uint32_t* address) override;

  void addHost(const std::string& name, uint32_t address);
  // Where TCP connections go, whatever their address; it outlives them.
  void setTcpServer(ScriptedTcpServer* server);
  // The next `count` calls of the kind fail.
  void failOpens(int count);
  void failSends(int count);
  void failReceives(int count);

  std::vector<Sent> sent() const;
  int resolutions() const;
  // Sockets opened and not yet destroyed.
  int liveSockets() const;

  struct Network;

 private:
  std::shared_ptr<Network> network_;
};

}  // namespace orvik
