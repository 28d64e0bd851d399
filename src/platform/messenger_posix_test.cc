#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>
#include <utmpx.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/posix_backends.h"

namespace orvik {
namespace {

// A pseudo-terminal as a login session would have it: the notice is written
// to the slave side and read back from the master.
class Pty {
 public:
  Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
      ADD_FAILURE() << "no pseudo-terminal";
      return;
    }
    path_ = ptsname(master_);
    // Raw, so the bytes read back are the bytes written.
    slave_ = open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios raw{};
    tcgetattr(slave_, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave_, TCSANOW, &raw);
  }
  ~Pty() {
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
  }

  // "pts/N", as a login record names it.
  std::string line() const { return path_.substr(std::strlen("/dev/")); }

  // What arrived within waitMs, then while more keeps coming.
  std::string read(int waitMs = 1000) {
    std::string bytes;
    pollfd ready{master_, POLLIN, 0};
    while (poll(&ready, 1, bytes.empty() ? waitMs : 50) == 1) {
      char buffer[4096];
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n <= 0) break;
      bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return bytes;
  }

  // Writes to the slave until nothing more fits, as if nobody read.
  void fill() {
    const std::string chunk(1024, 'x');
    while (::write(slave_, chunk.data(), chunk.size()) > 0) {
    }
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

class LoginTerminalMessengerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    records_ = std::filesystem::temp_directory_path() /
               ("orvik_utmp_" + std::to_string(std::random_device()()));
    addRecord(USER_PROCESS, loggedIn_.line());
    addRecord(DEAD_PROCESS, loggedOut_.line());  // a session that has ended
    addRecord(USER_PROCESS, "../" + loggedOut_.line());
    std::ofstream(records_, std::ios::binary)
        .write(reinterpret_cast<const char*>(entries_.data()),
               static_cast<std::streamsize>(entries_.size() * sizeof(utmpx)));
    messenger_ = newLoginTerminalMessenger(records_.string());
  }
  void TearDown() override { std::filesystem::remove(records_); }

  void addRecord(short type, const std::string& line) {
    utmpx entry{};
    entry.ut_type = type;
    entry.ut_pid = getpid();
    std::strncpy(entry.ut_line, line.c_str(), sizeof entry.ut_line - 1);
    std::strncpy(entry.ut_user, "operator", sizeof entry.ut_user - 1);
    entries_.push_back(entry);
  }

  int write(const std::string& target, const std::string& block) {
    return messenger_->writeNotice(target, block.data(), block.size());
  }

  Pty loggedIn_;
  Pty loggedOut_;
  std::vector<utmpx> entries_;
  std::filesystem::path records_;
  std::unique_ptr<Messenger> messenger_;
};

const char kBlockBytes[] = "UPS@upsbox\0*\0Power \x1b[2Jfailure\nshut down now\0";
const std::string kBlock(kBlockBytes, sizeof kBlockBytes - 1);

TEST_F(LoginTerminalMessengerTest, NoticeReachesTheLoggedInTerminalCleaned) {
  ASSERT_EQ(write("*", kBlock), 1);
  const std::string seen = loggedIn_.read();
  EXPECT_EQ(seen.find("\r\n\r\nBroadcast message from UPS@upsbox to * ("), 0u) << seen;
  const std::string tail = "):\r\n\r\nPower failure\r\nshut down now\r\n";
  ASSERT_GE(seen.size(), tail.size());
  EXPECT_EQ(seen.substr(seen.size() - tail.size()), tail) << seen;
  EXPECT_EQ(seen.find('\x1b'), std::string::npos);
  EXPECT_EQ(loggedOut_.read(100), "") << "ended and escaping records are not followed";

  // This computer by its own name, in any case.
  std::string host = posixSystemInfo().hostName();
  for (char& c : host) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(write(host, kBlock), 1);
  EXPECT_NE(loggedIn_.read().find("Power failure"), std::string::npos);
}

TEST_F(LoginTerminalMessengerTest, OtherComputersAndMalformedBlocksAreNotReached) {
  EXPECT_EQ(write("no-such-computer", kBlock), 0);
  EXPECT_EQ(write("*", kBlock.substr(0, kBlock.size() - 1)), 0) << "last text unterminated";
  EXPECT_EQ(write("*", kBlock + std::string("x\0", 2)), 0) << "a fourth text";
  EXPECT_EQ(loggedIn_.read(100), "");
  EXPECT_EQ(newLoginTerminalMessenger(records_.string() + ".missing")
                ->writeNotice("*", kBlock.data(), kBlock.size()),
            0);
}

TEST_F(LoginTerminalMessengerTest, StuckTerminalHoldsTheWriterOnlyBriefly) {
  loggedIn_.fill();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(write("*", kBlock), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
}

}  // namespace
}  // namespace orvik
