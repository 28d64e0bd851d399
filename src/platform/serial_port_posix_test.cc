#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/posix_backends.h"
#include "platform/serial_port_contract_test.h"

namespace orvik {
namespace {

// A pseudo-terminal whose slave side plays the serial device; the test talks
// through the master side as the UPS would.
class PtyPair {
 public:
  PtyPair() {
    char name[128] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
      ADD_FAILURE() << "openpty failed";
      return;
    }
    slavePath_ = name;
  }
  ~PtyPair() {
    if (sender_.joinable()) sender_.join();
    if (master_ >= 0) close(master_);
    if (slave_ >= 0) close(slave_);
  }

  const std::string& slavePath() const { return slavePath_; }
  int slaveFd() const { return slave_; }

  void send(const std::string& bytes) {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  void sendAfter(int64_t ms, const std::string& bytes) {
    if (sender_.joinable()) sender_.join();
    sender_ = std::thread([this, ms, bytes] {
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      send(bytes);
    });
  }
  std::string received(size_t count) {
    std::string got;
    char buffer[64];
    pollfd p{master_, POLLIN, 0};
    while (got.size() < count && poll(&p, 1, 2000) == 1) {
      const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - got.size()));
      if (n <= 0) break;
      got.append(buffer, static_cast<size_t>(n));
    }
    return got;
  }
  void closeMaster() {
    if (sender_.joinable()) sender_.join();
    close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
  std::thread sender_;
};

// A platform.ini in a fresh folder, in force for the POSIX backend while it lives.
class DeviceFile {
 public:
  DeviceFile() {
    char dir[] = "/tmp/orvik-serial-XXXXXX";
    if (mkdtemp(dir) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    dir_ = dir;
    setSerialDeviceFile(path());
  }
  ~DeviceFile() {
    setSerialDeviceFile("");
    std::filesystem::remove_all(dir_);
  }
  std::string path() const { return dir_ + "/platform.ini"; }
  void write(const std::string& text) { std::ofstream(path()) << text; }
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
};

class PtyHarness {
 public:
  PtyHarness() { ini_.write("COM1=" + pty_.slavePath() + "\nCOM2=" + ini_.dir() + "/none\n"); }

  Clock& clock() { return posixClock(); }
  std::unique_ptr<SerialPort> open() { return posixSerialPorts().open("COM1"); }
  std::unique_ptr<SerialPort> openMissing() { return posixSerialPorts().open("COM2"); }
  void peerSend(const std::string& bytes) { pty_.send(bytes); }
  void peerSendAfter(int64_t ms, const std::string& bytes) { pty_.sendAfter(ms, bytes); }
  std::string peerReceived(size_t count) { return pty_.received(count); }
  void unplug() { pty_.closeMaster(); }

  PtyPair& pty() { return pty_; }

 private:
  PtyPair pty_;
  DeviceFile ini_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(PseudoTerminal, SerialPortContract, PtyHarness);

int64_t threadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Waits and reads for a second as a reply reader does; returns the CPU time
// the thread used meanwhile.
int64_t cpuOfReadingDeadPortForASecond(SerialPort& port) {
  const int64_t startCpu = threadCpuMs();
  const int64_t end = posixClock().monotonicMs() + 1000;
  unsigned char buffer[16];
  for (int64_t now = posixClock().monotonicMs(); now < end; now = posixClock().monotonicMs()) {
    port.read(buffer, sizeof buffer);
    port.waitReadable(std::min<int64_t>(end - now, 100));
  }
  return threadCpuMs() - startCpu;
}

TEST(PosixSerialPortTest, PortNamesMapThroughPlatformIni) {
  const PlatformIni ini = PlatformIni::fromText("COM1=/dev/ttyUSB0\ncom12 = /dev/ttyACM3\n");
  const struct {
    const char* name;
    const char* path;
  } cases[] = {
      {"COM1", "/dev/ttyUSB0"},
      {"COM2", "/dev/ttyS1"},
      {"com4", "/dev/ttyS3"},
      {"COM12", "/dev/ttyACM3"},
      {"COM012", "/dev/ttyACM3"},
      {"COM0", ""},
      {"COM", ""},
      {"COM1x", ""},
      {"LPT1", ""},
      {"COM-1", ""},
      {"COM99999999999", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(serialDevicePath(ini, c.name), c.path) << c.name;
}

TEST(PosixSerialPortTest, EditedMappingTakesEffectAtTheNextOpen) {
  PtyPair first;
  PtyPair second;
  DeviceFile ini;
  ini.write("COM1=" + first.slavePath() + "\n");
  auto port = posixSerialPorts().open("COM1");
  ASSERT_NE(port, nullptr);
  port.reset();
  ini.write("COM1=" + second.slavePath() + "\n");
  port = posixSerialPorts().open("COM1");
  ASSERT_NE(port, nullptr);
  const unsigned char byte = 'Z';
  ASSERT_EQ(port->write(&byte, 1), 1);
  EXPECT_EQ(second.received(1), "Z");
}

TEST(PosixSerialPortTest, ClosedPeerCostsNoCpuWhileWaiting) {
  PtyHarness h;
  auto port = h.open();
  ASSERT_NE(port, nullptr);
  h.unplug();
  EXPECT_LT(cpuOfReadingDeadPortForASecond(*port), 50);
}

// A pulled USB adapter hangs the terminal up: it then polls readable and
// reads empty for ever.
TEST(PosixSerialPortTest, HungUpTerminalCostsNoCpuWhileWaiting) {
  PtyHarness h;
  auto port = h.open();
  ASSERT_NE(port, nullptr);
  h.peerSend("AB");
  ASSERT_TRUE(port->waitReadable(1000));
  if (ioctl(h.pty().slaveFd(), TIOCVHANGUP) != 0) {
    GTEST_SKIP() << "hanging up a terminal needs privileges: " << errno;
  }
  EXPECT_LT(cpuOfReadingDeadPortForASecond(*port), 50);
  unsigned char buffer[4];
  EXPECT_EQ(port->read(buffer, 4), -1);
}

}  // namespace
}  // namespace orvik
