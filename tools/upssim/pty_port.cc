#include "pty_port.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace orvik::upssim {

namespace {

std::string failure(const char* what) { return std::string(what) + ": " + strerror(errno); }

bool makeRaw(int fd) {
  struct termios t {};
  if (tcgetattr(fd, &t) != 0) return false;
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  return tcsetattr(fd, TCSANOW, &t) == 0;
}

}  // namespace

PtyPort::~PtyPort() {
  if (!linkPath_.empty()) unlink(linkPath_.c_str());
  if (slave_ >= 0) close(slave_);
  if (master_ >= 0) close(master_);
}

bool PtyPort::open(std::string* error) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0) {
    *error = failure("posix_openpt");
    return false;
  }
  if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
    *error = failure("grantpt/unlockpt");
    return false;
  }
  const char* name = ptsname(master_);
  if (!name) {
    *error = failure("ptsname");
    return false;
  }
  devicePath_ = name;
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (slave_ < 0) {
    *error = failure(name);
    return false;
  }
  if (!makeRaw(slave_) || !makeRaw(master_)) {
    *error = failure("raw mode");
    return false;
  }
  int flags = fcntl(master_, F_GETFL);
  fcntl(master_, F_SETFL, flags | O_NONBLOCK);
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  fcntl(slave_, F_SETFD, FD_CLOEXEC);
  return true;
}

bool PtyPort::makeLink(const std::string& path, std::string* error) {
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      *error = path + " exists and is not a symbolic link";
      return false;
    }
    unlink(path.c_str());
  }
  if (symlink(devicePath_.c_str(), path.c_str()) != 0) {
    *error = failure(path.c_str());
    return false;
  }
  linkPath_ = path;
  return true;
}

long PtyPort::read(char* buffer, unsigned long capacity) {
  ssize_t n = ::read(master_, buffer, capacity);
  if (n >= 0) return n;
  return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
}

long PtyPort::write(std::string_view bytes) {
  ssize_t n = ::write(master_, bytes.data(), bytes.size());
  if (n == static_cast<ssize_t>(bytes.size())) return n;
  // The terminal's input queue is full: nobody has read our replies for
  // kilobytes, as on a line with no host. Like such a line, forget them.
  tcflush(slave_, TCIFLUSH);
  size_t done = n > 0 ? static_cast<size_t>(n) : 0;
  ssize_t more = ::write(master_, bytes.data() + done, bytes.size() - done);
  return static_cast<long>(done) + (more > 0 ? more : 0);
}

}  // namespace orvik::upssim
