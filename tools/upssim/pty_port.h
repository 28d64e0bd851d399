// The pseudo-terminal the host opens as its serial port. Both sides are put
// in raw mode; the simulator keeps a descriptor of the terminal side open
// itself, so a host closing the port never hangs the line up and the master
// never reports end of file or errors between clients. Speed settings are
// accepted and ignored, as a pseudo-terminal does.
#pragma once

#include <string>
#include <string_view>

namespace orvik::upssim {

class PtyPort {
 public:
  PtyPort() = default;
  PtyPort(const PtyPort&) = delete;
  PtyPort& operator=(const PtyPort&) = delete;
  ~PtyPort();

  // false with *error set when no pseudo-terminal can be had.
  bool open(std::string* error);
  // A symbolic link at path to the device (an existing link there is
  // replaced; any other file is left alone and reported). Removed again
  // by the destructor.
  bool makeLink(const std::string& path, std::string* error);

  const std::string& devicePath() const { return devicePath_; }
  // For poll(): readable when the host has written.
  int masterFd() const { return master_; }

  // What the host wrote, up to capacity bytes: the count, 0 when nothing is
  // there, -1 on an error other than "try again".
  long read(char* buffer, unsigned long capacity);
  // Writes without waiting; returns the count written. When the host has
  // left the line unread until its buffer is full, the unread bytes are
  // discarded first.
  long write(std::string_view bytes);

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string devicePath_;
  std::string linkPath_;
};

}  // namespace orvik::upssim
