#include "simulator.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace orvik::upssim {
namespace {

// A simulator whose log goes to a temporary file with a fixed clock.
struct SimulatorFixture {
  explicit SimulatorFixture(int protocol, bool plainQ1 = false) : sim(protocol, log, plainQ1) {
    log.addSink(file);
  }
  ~SimulatorFixture() { std::fclose(file); }

  std::string logText() {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[512];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
    return text;
  }

  std::FILE* file = std::tmpfile();
  SimLog log{[] { return LogTime{5123042, 1714558830123}; }};
  Simulator sim;
};

TEST(Simulator, LogsCommandsRepliesAndStateChangesWithBothClocks) {
  SimulatorFixture f(3);
  f.sim.receive("Q1\r", 0);
  f.sim.takeOutput(0);
  f.sim.receive("T\r", 0);
  f.sim.control("power fail", 0);
  f.sim.receive(std::string("\x01\xff", 2), 10);
  f.sim.tick(10 + kCommandSilenceMs);
  EXPECT_EQ(f.logText(),
            "5123.042 2024-05-01T10:20:30.123Z rx \"Q1\\r\" status\n"
            "5123.042 2024-05-01T10:20:30.123Z tx "
            "\"(230.0 230.0 230.0 025 50.0 26.0 25.0 00001001\\r\"\n"
            "5123.042 2024-05-01T10:20:30.123Z rx \"T\\r\" test 10 s\n"
            "5123.042 2024-05-01T10:20:30.123Z state test started (10 s)\n"
            "5123.042 2024-05-01T10:20:30.123Z ctl power fail -> ok\n"
            "5123.042 2024-05-01T10:20:30.123Z state mains absent\n"
            "5123.042 2024-05-01T10:20:30.123Z state test finished: aborted\n"
            "5123.042 2024-05-01T10:20:30.123Z rx \"\\x01\\xFF\" ignored: no command\n");
}

TEST(Simulator, SilentLineObeysButAnswersNothing) {
  SimulatorFixture f(5);
  f.sim.control("silent on", 0);
  f.sim.receive("Ts\r\n", 0);
  EXPECT_EQ(f.sim.takeOutput(1'000), "");
  EXPECT_TRUE(f.sim.ups().readings().testRunning);
  EXPECT_NE(f.logText().find("rx \"Ts\\r\\n\" test 10 s (silent: no reply)"), std::string::npos);
  f.sim.control("silent off", 0);
  f.sim.receive("TR\r\n", 1'000);
  EXPECT_EQ(f.sim.takeOutput(1'000), "5\r\n");
}

TEST(Simulator, RepliesLeaveAfterTheReplyDelay) {
  SimulatorFixture f(2);
  f.sim.control("set reply-delay 700", 0);
  f.sim.receive("F\r", 100);
  EXPECT_EQ(f.sim.nextDeadlineMs(), 800);
  EXPECT_EQ(f.sim.takeOutput(799), "");
  EXPECT_EQ(f.sim.takeOutput(800), "#230.0 004 24.00 50.0\r");
}

TEST(Simulator, GarbageKeepsTheLengthButNoHostCanAcceptIt) {
  for (int protocol : {1, 3, 7}) {
    SimulatorFixture f(protocol);
    f.sim.control("garbage on", 0);
    const char* command = protocol == 1 ? "\x01" : protocol == 3 ? "Q1\r" : "IS\r\n";
    for (int i = 0; i < 50; ++i) {
      f.sim.receive(command, i * 1000);
      std::string reply = f.sim.takeOutput(i * 1000);
      if (protocol == 1) {
        ASSERT_EQ(reply.size(), 16u);
        EXPECT_EQ(static_cast<unsigned char>(reply[4]), 0xFF);
        EXPECT_NE(reply[11], 'K');
      } else {
        ASSERT_EQ(reply.size(), protocol == 3 ? 47u : 7u);
        EXPECT_EQ(reply.find_first_of("\r\n(#BCT"), std::string::npos) << reply;
      }
    }
  }
}

TEST(Simulator, PlainQ1UnitStartsFromItsOwnStateAndSettingsStillApply) {
  SimulatorFixture f(4, true);
  f.sim.receive("F\r", 0);
  EXPECT_EQ(f.sim.takeOutput(0), "#230.0 004 12.00 50.0\r");
  f.sim.receive("OI\r", 0);
  EXPECT_EQ(f.sim.takeOutput(0), "");
  EXPECT_EQ(f.sim.control("set manufacturer OTHER", 0), "ok");
  f.sim.receive("I\r", 0);
  EXPECT_EQ(f.sim.takeOutput(0).substr(0, 7), "#OTHER ");
}

}  // namespace
}  // namespace orvik::upssim
