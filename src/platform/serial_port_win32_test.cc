// The serial-port contract on the Win32 backend under Wine: COM1 is a
// pseudo-terminal that tests/win32/serial_peer.py makes and plays the device
// of, on this test's orders over loopback (the ctest fixture starts it and
// names its port file in ORVIK_SERIAL_PEER).
//
// Wine cannot vouch for the modem lines (DTR, RTS, DSR, CTS): a pseudo-
// terminal has none, so line control is only set, never observed, here.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "platform/serial_port_contract_test.h"
#include "platform/tcp_connection.h"
#include "platform/win32_backends.h"

namespace orvik {
namespace {

std::string hex(const std::string& bytes) {
  std::string text;
  char two[3];
  for (unsigned char c : bytes) {
    std::snprintf(two, sizeof two, "%02x", c);
    text += two;
  }
  return text;
}

std::string unhex(const std::string& text) {
  std::string bytes;
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

class PeerHarness {
 public:
  PeerHarness() {
    const char* portFile = std::getenv("ORVIK_SERIAL_PEER");
    int port = 0;
    if (portFile == nullptr || !(std::ifstream(portFile) >> port)) {
      ADD_FAILURE() << "no serial peer: run this test through ctest";
      return;
    }
    int error = 0;
    connection_ = win32Sockets().openTcp(&error);
    if (!connection_ || connection_->connect({kLoopbackIpv4, static_cast<uint16_t>(port)}, 2000)) {
      ADD_FAILURE() << "serial peer not reachable on port " << port;
      connection_.reset();
      return;
    }
    order("open");
  }

  Clock& clock() { return win32Clock(); }
  std::unique_ptr<SerialPort> open() { return win32SerialPorts().open("COM1"); }
  // Behind COM9 lies a path to nowhere.
  std::unique_ptr<SerialPort> openMissing() { return win32SerialPorts().open("COM9"); }
  void peerSend(const std::string& bytes) { peerSendAfter(0, bytes); }
  void peerSendAfter(int64_t ms, const std::string& bytes) {
    order("send " + hex(bytes) + " " + std::to_string(ms));
  }
  std::string peerReceived(size_t count) {
    const std::string answer = order("recv " + std::to_string(count));
    return answer == "-" ? "" : unhex(answer);
  }
  void unplug() { order("unplug"); }

 private:
  std::string order(const std::string& line) {
    if (!connection_) return "";
    const std::string sent = line + "\n";
    if (connection_->sendAll(sent.data(), sent.size(), 2000) != 0) return "";
    std::string answer;
    char c = 0;
    while (connection_->waitReadable(5000) == 1 && connection_->receive(&c, 1) == 1 && c != '\n') {
      answer += c;
    }
    return answer;
  }

  std::unique_ptr<TcpConnection> connection_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(WineComPort, SerialPortContract, PeerHarness);

}  // namespace
}  // namespace orvik
