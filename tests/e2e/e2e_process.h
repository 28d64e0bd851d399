// Helpers for end-to-end tests: a program copied into its own temporary
// folder (its program directory) and run as a child process, and a look at
// the machine's bound UDP sockets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvik::e2e {

class ProgramInTempFolder {
 public:
  explicit ProgramInTempFolder(const std::string& binary);
  // Stops a child still running (SIGTERM, then SIGKILL) and removes the folder.
  ~ProgramInTempFolder();

  // Starts the copy with the folder as working directory; standard output
  // and standard error go to files in the folder.
  bool start();
  // True when the child ended within timeoutMs; *exitCode is its exit
  // status, or 128 + signal when a signal ended it.
  bool waitExit(int timeoutMs, int* exitCode);
  bool running();
  std::string standardError() const;
  const std::string& folder() const { return folder_; }

 private:
  std::string folder_;
  std::string program_;
  int pid_ = -1;
};

struct BoundUdp {
  uint32_t address;  // host order
  uint16_t port;
};

// IPv4 UDP sockets bound to `port` on this machine, from /proc/net/udp.
std::vector<BoundUdp> boundUdpSockets(uint16_t port);
// Whether any IPv6 UDP socket is bound to `port`, from /proc/net/udp6.
bool boundUdp6(uint16_t port);

// Waits until condition() holds, at most timeoutMs; true when it did.
template <class Condition>
bool waitUntil(int timeoutMs, Condition condition);

}  // namespace orvik::e2e

#include <chrono>
#include <thread>

template <class Condition>
bool orvik::e2e::waitUntil(int timeoutMs, Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}
