// End to end: the real upssim binary on a real pseudo-terminal, driven the
// way the service's serial layer and a test script drive it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::string tempPath(const std::string& name) {
  return ::testing::TempDir() + "upssim_" + std::to_string(getpid()) + "_" + name;
}

// One upssim process; stopped with SIGTERM when the test ends.
class Upssim {
 public:
  Upssim(int protocol, std::vector<std::string> extra = {}) {
    tag_ = std::to_string(protocol) + "_" + std::to_string(counter_++);
    std::vector<std::string> args = {UPSSIM_BINARY, "--protocol", std::to_string(protocol),
                                     "--ctl",       socket(),     "--log",
                                     log(),         "--link",     link(),
                                     "--quiet"};
    args.insert(args.end(), extra.begin(), extra.end());
    int out[2];
    EXPECT_EQ(pipe(out), 0);
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      close(out[0]);
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    // The device path is the first line on standard output.
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') device_ += c;
    close(out[0]);
  }

  ~Upssim() {
    stop();
    unlink(log().c_str());
  }

  int stop() {
    if (pid_ <= 0) return exitStatus_;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return exitStatus_;
  }

  // Runs "upssim ctl"; returns its output line.
  std::string ctl(const std::string& command) {
    std::string line = std::string(UPSSIM_BINARY) + " ctl --socket " + socket() + " " + command;
    FILE* p = popen(line.c_str(), "r");
    char buffer[1024] = {};
    std::string out = fgets(buffer, sizeof buffer, p) ? buffer : "";
    pclose(p);
    if (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
  }

  std::string logText() const {
    std::ifstream in(log());
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  const std::string& device() const { return device_; }
  std::string socket() const { return tempPath(tag_ + ".sock"); }
  std::string log() const { return tempPath(tag_ + ".log"); }
  std::string link() const { return tempPath(tag_ + ".tty"); }

 private:
  static inline int counter_ = 0;
  std::string tag_;
  std::string device_;
  pid_t pid_ = -1;
  int exitStatus_ = -1;
};

// The host's side: the port opened raw, as the serial layer opens it.
class Port {
 public:
  explicit Port(const std::string& path) {
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY);
    EXPECT_GE(fd_, 0) << path;
    termios t{};
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    cfsetspeed(&t, B2400);
    tcsetattr(fd_, TCSANOW, &t);
    tcflush(fd_, TCIOFLUSH);
  }
  ~Port() { close(fd_); }

  // Sends, then reads until the terminator, maxLength bytes or 1 s of silence.
  std::string ask(const std::string& command, size_t maxLength, int terminator = -1) {
    tcflush(fd_, TCIFLUSH);
    EXPECT_EQ(write(fd_, command.data(), command.size()), static_cast<ssize_t>(command.size()));
    std::string reply;
    while (reply.size() < maxLength) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 1000) <= 0) break;
      char c;
      if (read(fd_, &c, 1) != 1) break;
      reply += c;
      if (c == terminator) break;
    }
    return reply;
  }

 private:
  int fd_ = -1;
};

TEST(UpssimSmoke, EachProtocolAnswersItsIdentifyingProbeOnThePty) {
  struct Case {
    int protocol;
    std::string probe;
    size_t maxLength;
    int terminator;
    std::string expected;  // exact reply, or its start for the binary frame
  } cases[] = {
      {1, "\x01", 16, -1, ""},
      {2, "Q1\r", 99, '\r', "(230.0 230.0 230.0 025 50.0 26.0 25.0 000010\r"},
      {3, "OI\r", 99, '\r', "#0211\r"},
      {4, "Q1\r", 99, '\r', "(230.0 230.0 230.0 025 50.0 26.0 25.0 00001001 00000000\r"},
      {5, "IS\r\n", 7, '\r', "T2.10\r"},
      {6, "IS\r\n", 8, '\r', "B2.05\r"},
      {7, "IS\r\n", 7, '\r', "C1.02\r"},
      {8, "IS\r\n", 8, '\r', "B1.07\r"},
      {9, "IS\r\n", 8, '\r', "B3.01\r"},
  };
  for (const Case& c : cases) {
    Upssim sim(c.protocol);
    ASSERT_FALSE(sim.device().empty());
    Port port(sim.device());
    std::string reply = port.ask(c.probe, c.maxLength, c.terminator);
    if (c.protocol == 1) {
      ASSERT_EQ(reply.size(), 16u);
      EXPECT_EQ(reply[11], 'O');
    } else {
      EXPECT_EQ(reply, c.expected) << "protocol " << c.protocol;
    }
  }
}

TEST(UpssimSmoke, ControlSocketLinkLogAndReopenedPort) {
  Upssim sim(3);
  char target[256] = {};
  ASSERT_GT(readlink(sim.link().c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(std::string(target), sim.device());
  {
    Port port(sim.link());
    EXPECT_EQ(port.ask("Q1\r", 48, '\r').substr(38, 8), "00001001");
  }
  EXPECT_EQ(sim.ctl("power fail"), "ok");
  EXPECT_EQ(sim.ctl("set input-voltage abc"), "error: not a number: abc");
  {
    // A host that closed the port and opens it again finds the line alive.
    Port port(sim.link());
    EXPECT_EQ(port.ask("Q1\r", 48, '\r').substr(38, 8), "10001001");
  }
  std::string log = sim.logText();
  EXPECT_NE(log.find(" rx \"Q1\\r\" status\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" state mains absent\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" ctl power fail -> ok\n"), std::string::npos) << log;
  EXPECT_EQ(sim.stop(), 0);
  char ignored[8];
  EXPECT_LT(readlink(sim.link().c_str(), ignored, sizeof ignored), 0) << "link left behind";
}

TEST(UpssimSmoke, HostShutdownSwitchesTheOutputOffAndBackOn) {
  Upssim sim(2, {"--set", "minute-seconds=1"});
  Port port(sim.device());
  port.ask("S01R0001\r", 20, '\n');  // off after 1 s, back 1 s later
  auto deadline = Clock::now() + std::chrono::seconds(10);
  std::string log;
  while (Clock::now() < deadline) {
    log = sim.logText();
    if (log.find("output on (restore time over)") != std::string::npos) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  size_t off = log.find("state output off (shutdown delay over)");
  size_t on = log.find("state output on (restore time over)");
  ASSERT_NE(off, std::string::npos) << log;
  ASSERT_NE(on, std::string::npos) << log;
  EXPECT_LT(off, on);
}

}  // namespace
