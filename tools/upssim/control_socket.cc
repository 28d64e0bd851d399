#include "control_socket.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace orvik::upssim {

namespace {

constexpr size_t kMaxLine = 4096;

bool fillAddress(const std::string& path, sockaddr_un* address, std::string* error) {
  *address = {};
  address->sun_family = AF_UNIX;
  if (path.size() >= sizeof address->sun_path) {
    *error = "socket path too long: " + path;
    return false;
  }
  memcpy(address->sun_path, path.c_str(), path.size() + 1);
  return true;
}

void sendAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd p{fd, POLLOUT, 0};
      if (poll(&p, 1, 1000) <= 0) return;
    } else {
      return;
    }
  }
}

}  // namespace

ControlServer::~ControlServer() {
  for (auto& [fd, partial] : clients_) close(fd);
  if (listener_ >= 0) {
    close(listener_);
    unlink(path_.c_str());
  }
}

bool ControlServer::listen(const std::string& path, std::string* error) {
  sockaddr_un address;
  if (!fillAddress(path, &address, error)) return false;
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) {
      *error = path + " exists and is not a socket";
      return false;
    }
    unlink(path.c_str());
  }
  listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listener_ < 0 ||
      bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 8) != 0) {
    *error = path + ": " + strerror(errno);
    return false;
  }
  path_ = path;
  return true;
}

std::vector<int> ControlServer::descriptors() const {
  std::vector<int> fds;
  if (listener_ >= 0) fds.push_back(listener_);
  for (const auto& [fd, partial] : clients_) fds.push_back(fd);
  return fds;
}

void ControlServer::service(int fd, const Handler& handler) {
  if (fd == listener_) {
    int client = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (client >= 0) clients_[client] = "";
    return;
  }
  auto it = clients_.find(fd);
  if (it == clients_.end()) return;
  char buffer[1024];
  ssize_t n = recv(fd, buffer, sizeof buffer, 0);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
  if (n <= 0) {
    close(fd);
    clients_.erase(it);
    return;
  }
  std::string& partial = it->second;
  partial.append(buffer, static_cast<size_t>(n));
  size_t end;
  while ((end = partial.find('\n')) != std::string::npos) {
    std::string line = partial.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    partial.erase(0, end + 1);
    sendAll(fd, handler(line) + "\n");
  }
  if (partial.size() > kMaxLine) {
    sendAll(fd, "error: line too long\n");
    close(fd);
    clients_.erase(it);
  }
}

bool sendControlCommand(const std::string& path, const std::string& line, std::string* answer) {
  sockaddr_un address;
  if (!fillAddress(path, &address, answer)) return false;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    *answer = path + ": " + strerror(errno);
    if (fd >= 0) close(fd);
    return false;
  }
  sendAll(fd, line + "\n");
  std::string received;
  char buffer[1024];
  while (received.find('\n') == std::string::npos) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 5000) <= 0) break;
    ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    received.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  size_t end = received.find('\n');
  if (end == std::string::npos) {
    *answer = "no answer from " + path;
    return false;
  }
  *answer = received.substr(0, end);
  return true;
}

}  // namespace orvik::upssim
