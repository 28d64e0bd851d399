// End to end: the service's serial link on the POSIX backend, talking to the
// real upssim binary on a pseudo-terminal. Covers identification of every
// protocol with the probe exchanges the poll cycle uses, a UPS whose state
// changes under control commands, a device that disappears in the middle
// of an exchange and comes back, and the poll cycle after a self-test that
// the UPS never reports.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix_backends.h"
#include "service/link/poll_cycle.h"
#include "service/link/self_test_timeout.h"
#include "service/link/serial_link.h"
#include "service/monitor/record_startup.h"
#include "shared/status_record.h"

namespace orvik {
namespace {

// A folder of this process's own for the device link, the control socket
// and platform.ini; removed when the process ends.
char scratch[] = "/tmp/orvik-link-e2e-XXXXXX";

void removeScratchDir() { std::filesystem::remove_all(scratch); }

std::string scratchDir() {
  static const bool made = [] {
    if (mkdtemp(scratch) == nullptr) {
      std::perror("mkdtemp");
      std::exit(1);
    }
    std::atexit(removeScratchDir);
    return true;
  }();
  return made ? scratch : "";
}

// Starts a program with its standard output on a pipe; returns its process
// id, and the first line it writes in *firstLine (which waits for it).
pid_t spawn(std::vector<std::string> args, std::string* firstLine) {
  int out[2];
  if (pipe(out) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  char c;
  while (read(out[0], &c, 1) == 1 && c != '\n') *firstLine += c;
  close(out[0]);
  return pid;
}

// One simulated UPS behind "COM1". It stays up until killed or destroyed.
class Upssim {
 public:
  explicit Upssim(int protocol, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {UPSSIM_BINARY, "--protocol", std::to_string(protocol),
                                     "--link",      linkPath(),   "--ctl",
                                     socketPath(),  "--quiet"};
    args.insert(args.end(), extra.begin(), extra.end());
    // The device path on the first line says the simulator is ready.
    std::string device;
    pid_ = spawn(args, &device);
    EXPECT_GT(pid_, 0);
    EXPECT_FALSE(device.empty());
  }
  ~Upssim() { kill(SIGTERM); }

  // SIGKILL is the pulled plug: no goodbye, the pseudo-terminal just
  // vanishes, and so does its name, as a USB adapter's device node would.
  void kill(int signal = SIGKILL) {
    if (pid_ <= 0) return;
    ::kill(pid_, signal);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    std::filesystem::remove(linkPath());
  }

  std::string ctl(const std::string& command) {
    std::vector<std::string> args = {UPSSIM_BINARY, "ctl", "--socket", socketPath()};
    std::istringstream words(command);
    for (std::string w; words >> w;) args.push_back(w);
    std::string answer;
    const pid_t pid = spawn(args, &answer);
    if (pid > 0) waitpid(pid, nullptr, 0);
    return answer;
  }

  static std::string linkPath() { return scratchDir() + "/ups.tty"; }
  static std::string socketPath() { return scratchDir() + "/ups.sock"; }

 private:
  pid_t pid_ = -1;
};

// The probe settings of each candidate protocol; 3 and 4 share 2's, whose
// probe tells 2, 3 and 4 apart.
struct Candidate {
  int number;
  uint32_t speed;
  int byteDelayMs;
  int settleMs;
  int timeoutMs;
};
constexpr Candidate kCandidates[] = {
    {1, 1200, 20, 10, 1000}, {2, 2400, 20, 10, 1000}, {5, 2400, 0, 10, 600},
    {6, 2400, 20, 10, 600},  {7, 2400, 20, 10, 600},  {8, 2400, 20, 20, 1000},
    {9, 2400, 20, 10, 600},
};

const Candidate& settingsFor(int protocol) {
  for (const Candidate& c : kCandidates) {
    if (c.number == (protocol >= 2 && protocol <= 4 ? 2 : protocol)) return c;
  }
  return kCandidates[0];
}

struct Reply {
  std::string bytes;
  int64_t tookMs = 0;
};

Reply exchange(SerialLink& link, const Candidate& c, const std::string& command, int terminator,
               int maxLength) {
  char buffer[128] = {};
  int count = 0;
  const int64_t start = posixClock().monotonicMs();
  link.serialTransaction(command.data(), static_cast<int>(command.size()), c.byteDelayMs,
                         c.settleMs, buffer, &count, terminator, maxLength, c.timeoutMs);
  return {std::string(buffer, static_cast<size_t>(count)), posixClock().monotonicMs() - start};
}

bool has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

// One candidate's probe as the poll cycle runs it: the protocol found, or 0.
int probe(SerialLink& link, const Candidate& c) {
  link.setPortSpeed(kUpsSlot, c.speed);
  if (c.number == 1) {
    const Reply r = exchange(link, c, "\x01", kNoTerminator, 16);
    return r.bytes.size() == 16 ? 1 : 0;
  }
  if (c.number == 2) {
    if (const Reply r = exchange(link, c, "OI\r", kNoTerminator, 99); r.bytes.starts_with("#")) {
      return 3;
    }
    const Reply r = exchange(link, c, "Q1\r", kNoTerminator, 99);
    return r.bytes.empty() ? 0 : r.bytes.size() <= 45 ? 2 : 4;
  }
  const int maxLength = c.number == 5 || c.number == 7 ? 7 : 8;
  const std::string r = exchange(link, c, "IS\r\n", '\r', maxLength).bytes;
  switch (c.number) {
    case 5:
      return !r.empty() && has(r, "T") ? 5 : 0;
    case 6:
      return has(r, "B2") ? 6 : 0;
    case 7:
      return has(r, "C") ? 7 : 0;
    case 8:
      return has(r, "B1") ? 8 : 0;
    default:
      return has(r, "B") && !has(r, "B1") && !has(r, "B2") ? 9 : 0;
  }
}

// Whether the UPS reports a utility failure, read with each family's status command.
bool reportsUtilityFailure(SerialLink& link, int protocol) {
  const Candidate& c = settingsFor(protocol);
  if (protocol == 1) {
    const std::string frame = exchange(link, c, "\x01", kNoTerminator, 16).bytes;
    EXPECT_EQ(frame.size(), 16u);
    return frame.size() == 16 && (frame[9] & 0x01) != 0;
  }
  if (protocol <= 4) {
    // "(230.0 230.0 230.0 025 50.0 26.0 25.0 00001001\r": the status digits come last.
    std::istringstream fields(exchange(link, c, "Q1\r", '\r', 99).bytes);
    std::string field;
    for (int i = 0; i < 8; ++i) fields >> field;
    EXPECT_GE(field.size(), 6u) << field;
    return !field.empty() && field[0] == '1';
  }
  // "AG": two hex digits of alarm bits; 2 in the first is on battery.
  const std::string alarms = exchange(link, c, "AG\r\n", '\r', 8).bytes;
  EXPECT_GE(alarms.size(), 3u) << alarms;
  return !alarms.empty() && (std::stoi(alarms.substr(0, 1), nullptr, 16) & 2) != 0;
}

class SerialLinkE2eTest : public ::testing::Test {
 protected:
  SerialLinkE2eTest() {
    std::ofstream(iniPath()) << "COM1=" << Upssim::linkPath() << "\n";
    setSerialDeviceFile(iniPath());
  }
  ~SerialLinkE2eTest() override { setSerialDeviceFile(""); }

  static std::string iniPath() { return scratchDir() + "/platform.ini"; }

  SerialLink link{posixPlatform()};
};

class ProtocolE2eTest : public SerialLinkE2eTest, public ::testing::WithParamInterface<int> {};

// The earlier candidates must fail and the UPS's own one succeed, as in a
// probe round.
TEST_P(ProtocolE2eTest, ProbeRoundIdentifiesTheProtocolAndStatusFollowsControl) {
  const int protocol = GetParam();
  Upssim sim(protocol);
  ASSERT_EQ(link.openPort(kUpsSlot, 0), 0);
  int found = 0;
  for (const Candidate& c : kCandidates) {
    if ((found = probe(link, c)) != 0) break;
  }
  EXPECT_EQ(found, protocol);

  EXPECT_FALSE(reportsUtilityFailure(link, protocol));
  ASSERT_TRUE(sim.ctl("power fail").starts_with("ok")) << "control socket";
  EXPECT_TRUE(reportsUtilityFailure(link, protocol));
  ASSERT_TRUE(sim.ctl("power restore").starts_with("ok"));
  EXPECT_FALSE(reportsUtilityFailure(link, protocol));
  link.closePort(kUpsSlot);
}

INSTANTIATE_TEST_SUITE_P(EveryProtocol, ProtocolE2eTest, ::testing::Range(1, 10),
                         [](const auto& info) { return "Protocol" + std::to_string(info.param); });

int64_t threadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

TEST_F(SerialLinkE2eTest, PulledDeviceEndsTheExchangeInTimeWithoutSpinningAndReopens) {
  const Candidate& q1 = settingsFor(3);
  // 60 ms flush, three bytes 20 ms apart, 10 ms settling, 1000 ms time-out.
  const int64_t exchangeMs = 60 + 3 * 20 + 10 + 1000;
  auto sim = std::make_unique<Upssim>(3, std::vector<std::string>{"--set", "reply-delay=3000"});
  ASSERT_EQ(link.openPort(kUpsSlot, 0), 0);

  Reply during;
  int64_t cpuDuring = 0;
  Reply afterwards[3];
  int64_t cpuAfterwards = 0;
  std::thread poller([&] {
    int64_t cpu = threadCpuMs();
    during = exchange(link, q1, "Q1\r", '\r', 99);
    cpuDuring = threadCpuMs() - cpu;
    cpu = threadCpuMs();
    for (Reply& r : afterwards) r = exchange(link, q1, "Q1\r", '\r', 99);
    cpuAfterwards = threadCpuMs() - cpu;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(400));  // the read is waiting now
  sim->kill();
  poller.join();

  EXPECT_EQ(during.bytes, "");
  EXPECT_GE(during.tookMs, exchangeMs);
  EXPECT_LT(during.tookMs, exchangeMs + 500);
  EXPECT_LT(cpuDuring, 50);
  for (const Reply& r : afterwards) {
    EXPECT_EQ(r.bytes, "");
    EXPECT_GE(r.tookMs, exchangeMs);
    EXPECT_LT(r.tookMs, exchangeMs + 500);
  }
  EXPECT_LT(cpuAfterwards, 50);

  // While the device is away it cannot be opened; once back it can.
  link.closePort(kUpsSlot);
  EXPECT_EQ(link.openPort(kUpsSlot, 0), -1);
  EXPECT_EQ(exchange(link, q1, "Q1\r", '\r', 99).bytes, "");
  sim = std::make_unique<Upssim>(3);
  ASSERT_EQ(link.openPort(kUpsSlot, 0), 0);
  EXPECT_TRUE(exchange(link, q1, "Q1\r", '\r', 99).bytes.starts_with("(230.0"));
}

// The real clock, which the test can move ahead to skip a wait the poll
// cycle would otherwise sit out in real time.
class AheadClock final : public Clock {
 public:
  int64_t monotonicMs() override { return posixClock().monotonicMs() + aheadMs; }
  int64_t calendarSeconds() override { return posixClock().calendarSeconds(); }
  bool toLocalTime(int64_t seconds, LocalTime* out) override {
    return posixClock().toLocalTime(seconds, out);
  }
  bool fromLocalTime(const LocalTime& local, int64_t* seconds) override {
    return posixClock().fromLocalTime(local, seconds);
  }
  void sleepMs(int64_t ms) override { posixClock().sleepMs(ms); }
  void sleepUnlessWoken(Wakeup& wakeup, int64_t ms) override {
    posixClock().sleepUnlessWoken(wakeup, ms);
  }
  void yield() override { posixClock().yield(); }

  std::atomic<int64_t> aheadMs{0};
};

// Protocol 5 polls no test result: after a self-test, a power failure is
// hidden until the test times out, and seen then. The poll cycle runs as the
// poll task runs it, a step every 100 ms; the test moves its clock past the
// two-minute time-out instead of waiting for it.
TEST_F(SerialLinkE2eTest, Protocol5SeesAPowerFailureOnceAnUnreportedSelfTestTimesOut) {
  Upssim sim(5, {"--set", "test-seconds=2"});
  ASSERT_EQ(link.openPort(kUpsSlot, 0), 0);
  AheadClock clock;
  auto record = std::make_unique<StatusRecord>();
  std::memset(record.get(), 0, sizeof *record);
  applyUpsStartValues(*record);
  const std::atomic<int32_t> pollingStopped{0};
  std::vector<QueuedCommand> queue;
  PollCycle cycle(link, clock, *record, "", pollingStopped, [&](QueuedCommand* out) {
    if (queue.empty()) return false;
    *out = queue.back();
    queue.pop_back();
    return true;
  });
  auto bit = [&](unsigned n) { return ((record->alarmFlags >> n) & 1) != 0; };
  // Steps for the seconds given, or until done() holds; done().
  auto stepFor = [&](int seconds, auto done) {
    const int64_t until = posixClock().monotonicMs() + seconds * 1000;
    while (!done() && posixClock().monotonicMs() < until) {
      cycle.pollStep();
      posixClock().sleepMs(100);
    }
    return done();
  };
  auto never = [] { return false; };

  ASSERT_TRUE(stepFor(60, [&] { return cycle.linkIdentified(); }));
  ASSERT_EQ(cycle.protocolNumber(), 5);
  queue.push_back({kCommandTest, 0});
  ASSERT_TRUE(stepFor(5, [&] { return bit(23); }));
  EXPECT_TRUE(sim.ctl("status").find("test=running") != std::string::npos);
  stepFor(3, never);
  ASSERT_TRUE(sim.ctl("status").find("test=idle") != std::string::npos) << "upssim's test ended";

  ASSERT_TRUE(sim.ctl("power fail").starts_with("ok"));
  // A lap (under 10 s) reads the alarms, and the test still counts as running.
  stepFor(12, never);
  EXPECT_FALSE(bit(1));
  EXPECT_TRUE(bit(23));
  clock.aheadMs = kUnreportedTestMs;
  EXPECT_TRUE(stepFor(12, [&] { return bit(1); })) << "power failure seen after the time-out";
  EXPECT_FALSE(bit(23));
  link.closePort(kUpsSlot);
}

}  // namespace
}  // namespace orvik
