// The control socket: a Unix stream socket at a path given on the command
// line. A client sends command lines ending in "\n" and gets one answer line
// for each; "upssim ctl" is such a client. Several clients may be connected;
// the server never blocks on one. Single-threaded: serviced from the main
// loop's poll().
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace orvik::upssim {

class ControlServer {
 public:
  using Handler = std::function<std::string(const std::string& line)>;

  ControlServer() = default;
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;
  ~ControlServer();

  // Replaces a stale socket file at path; false with *error otherwise.
  bool listen(const std::string& path, std::string* error);
  // Descriptors to poll for input: the listener and every client.
  std::vector<int> descriptors() const;
  // fd is readable: accepts a client, or runs its complete lines.
  void service(int fd, const Handler& handler);

 private:
  int listener_ = -1;
  std::string path_;
  std::map<int, std::string> clients_;  // fd -> partial line
};

// Sends one command line to the socket at path and reads the answer line.
// Returns false with *answer describing the failure when there is no answer.
bool sendControlCommand(const std::string& path, const std::string& line, std::string* answer);

}  // namespace orvik::upssim
