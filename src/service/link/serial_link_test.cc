#include "service/link/serial_link.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/fake_platform.h"

namespace orvik {
namespace {

class SerialLinkTest : public ::testing::Test {
 protected:
  int64_t now() { return fake.clock.monotonicMs(); }
  void openUps() { ASSERT_EQ(link.openPort(kUpsSlot, 0), 0); }

  FakePlatform fake;
  FakeSerialDevice& ups = fake.serial.device("COM1");
  SerialLink link{fake.platform()};
};

TEST_F(SerialLinkTest, PortIndexNamesComPortCountedFromOne) {
  fake.serial.device("COM4");
  EXPECT_EQ(link.openPort(kUpsSlot, 0), 0);
  EXPECT_EQ(link.openPort(kModemSlot, 3), 0);
  EXPECT_EQ(fake.serial.openedNames(), (std::vector<std::string>{"COM1", "COM4"}));
}

TEST_F(SerialLinkTest, OpenAppliesSlotSettingsASecondAfterOpening) {
  {
    // Leave the device with another format, as a previous user might.
    auto port = fake.serial.open("COM1");
    ASSERT_TRUE(port->applySettings({.baudRate = 9600,
                                     .dataBits = 7,
                                     .parity = Parity::kEven,
                                     .stopBits = StopBits::kTwo,
                                     .dtrControl = kLineDisable,
                                     .rtsControl = kLineHandshake}));
  }
  const int64_t start = now();
  openUps();
  ASSERT_EQ(ups.applied().size(), 2u);
  const AppliedSettings applied = ups.applied()[1];
  EXPECT_EQ(ups.openTimes()[1], start);
  EXPECT_EQ(applied.atMs, start + 1000);
  EXPECT_EQ(applied.settings.baudRate, 2400u);
  EXPECT_EQ(applied.settings.dataBits, 8);
  EXPECT_EQ(applied.settings.parity, Parity::kNone);
  EXPECT_EQ(applied.settings.stopBits, StopBits::kOne);
  EXPECT_EQ(applied.settings.dtrControl, kLineEnable);
  EXPECT_EQ(applied.settings.rtsControl, kLineEnable);
}

TEST_F(SerialLinkTest, UnopenableDeviceLeavesEveryOperationFailingWithoutTheOs) {
  EXPECT_EQ(link.openPort(kUpsSlot, 1), -1);  // nothing behind COM2
  EXPECT_EQ(link.openPort(kUpsSlot, -1), -1);
  EXPECT_EQ(link.openPort(kUpsSlot, kMaxPortIndex + 1), -1);
  EXPECT_EQ(link.openPort(2, 0), -1);
  const int calls = fake.serial.osCalls();
  const int64_t start = now();
  char buffer[8] = "stale";
  int count = 5;
  EXPECT_EQ(link.setPortSpeed(kUpsSlot, 1200), -1);
  EXPECT_EQ(link.flushPort(kUpsSlot, 60), -1);
  EXPECT_EQ(link.writeBytes(kUpsSlot, "Q1\r", 3, 20), -1);
  EXPECT_EQ(link.readReply(kUpsSlot, buffer, &count, '\r', 7, 600), -1);
  EXPECT_EQ(count, 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(link.closePort(kUpsSlot), 0);
  EXPECT_EQ(fake.serial.osCalls(), calls);
  EXPECT_EQ(now(), start);
}

TEST_F(SerialLinkTest, SettingsFailuresCloseThePortAgain) {
  ups.failReadSettings = true;
  EXPECT_EQ(link.openPort(kUpsSlot, 0), -1);
  EXPECT_EQ(ups.openPorts(), 0);
  ups.failReadSettings = false;
  ups.failApplySettings = true;
  EXPECT_EQ(link.openPort(kUpsSlot, 0), -1);
  EXPECT_EQ(ups.openPorts(), 0);
  EXPECT_EQ(link.writeBytes(kUpsSlot, "X", 1, 0), -1);
  ups.failApplySettings = false;
  EXPECT_EQ(link.openPort(kUpsSlot, 0), 0);
}

TEST_F(SerialLinkTest, OpenOnAnOpenSlotFailsAndKeepsThePort) {
  openUps();
  EXPECT_EQ(link.openPort(kUpsSlot, 0), -1);
  EXPECT_EQ(link.writeBytes(kUpsSlot, "A", 1, 0), 0);
  EXPECT_EQ(ups.writtenText(), "A");
}

TEST_F(SerialLinkTest, CloseReleasesTheDeviceAndIsHarmlessTwice) {
  openUps();
  EXPECT_EQ(link.closePort(kUpsSlot), 0);
  EXPECT_EQ(ups.openPorts(), 0);
  EXPECT_EQ(link.closePort(kUpsSlot), 0);
  EXPECT_EQ(link.writeBytes(kUpsSlot, "A", 1, 0), -1);
  EXPECT_EQ(link.openPort(kUpsSlot, 0), 0);
}

TEST_F(SerialLinkTest, SetPortSpeedPurgesAroundEightNoneOneWithDtrSetAndRtsCleared) {
  openUps();
  const size_t purges = ups.purgeTimes().size();
  ups.sendAt(now(), "junk");
  EXPECT_EQ(link.setPortSpeed(kUpsSlot, 1200), 0);
  EXPECT_EQ(ups.purgeTimes().size(), purges + 2);
  const LineSettings s = ups.applied().back().settings;
  EXPECT_EQ(s.baudRate, 1200u);
  EXPECT_EQ(s.dataBits, 8);
  EXPECT_EQ(s.parity, Parity::kNone);
  EXPECT_EQ(s.stopBits, StopBits::kOne);
  EXPECT_EQ(s.dtrControl, kLineEnable);
  EXPECT_EQ(s.rtsControl, kLineDisable);
  char buffer[8];
  int count = -1;
  link.readReply(kUpsSlot, buffer, &count, kNoTerminator, 7, 100);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(link.setPortSpeed(kUpsSlot, 1234), -1);  // no driver offers it
}

TEST_F(SerialLinkTest, FlushSleepsThePauseThenDropsWhatHasArrived) {
  openUps();
  const int64_t start = now();
  ups.sendAt(start + 30, "old");
  ups.sendAt(start + 61, "new");
  EXPECT_EQ(link.flushPort(kUpsSlot, 60), 0);
  EXPECT_EQ(ups.purgeTimes().back(), start + 60);
  char buffer[8];
  int count = 0;
  link.readReply(kUpsSlot, buffer, &count, kNoTerminator, 7, 100);
  EXPECT_STREQ(buffer, "new");
}

TEST_F(SerialLinkTest, WriteSendsByteByByteWithTheDelayAfterEach) {
  openUps();
  ups.failWriteCall(1);
  const int64_t start = now();
  EXPECT_EQ(link.writeBytes(kUpsSlot, "IS\r\n", 4, 20), 0);
  EXPECT_EQ(now(), start + 80);
  const std::vector<WrittenByte> written = ups.written();
  ASSERT_EQ(written.size(), 3u);  // the failed "S" is not sent again
  EXPECT_EQ(ups.writtenText(), "I\r\n");
  EXPECT_EQ(written[0].atMs, start);
  EXPECT_EQ(written[1].atMs, start + 40);
  EXPECT_EQ(written[2].atMs, start + 60);
}

struct ReadCase {
  const char* behaviour;
  std::vector<std::pair<int64_t, std::string>> line;  // (ms after the call, bytes)
  int terminator;
  int maxLength;
  std::string reply;
  int64_t returnsAfterMs;
};

// Every case reads with a 600 ms time-out.
// clang-format off
const ReadCase kReadCases[] = {
    {"terminator ends the reply, held from the chunk before",
     {{100, "(230"}, {300, " 50\r"}, {500, "late"}},  '\r',          99, "(230 50\r", 700},
    {"terminator in the first chunk: held from the start",
     {{100, "OK\r"}},                                 '\r',          99, "OK\r",      600},
    {"bytes after the terminator in its chunk are kept",
     {{100, "AB\rCD"}},                               '\r',          99, "AB\rCD",    600},
    {"no terminator: only silence ends it",
     {{100, "AB\r"}, {200, "CD"}},                    kNoTerminator, 99, "AB\rCD",    801},
    {"maximum length ends it at once",
     {{100, "ABCDEF"}},                               kNoTerminator, 4,  "ABCD",      600},
    {"maximum length reached by a later chunk",
     {{100, "AB"}, {250, "CDEF"}},                    '\r',          4,  "ABCD",      700},
    {"silence from the start",
     {},                                              '\r',          99, "",          601},
    {"silence longer than the time-out ends it",
     {{100, "AB"}, {750, "CD\r"}},                    '\r',          99, "AB",        701},
    {"gaps shorter than the time-out keep it going",
     {{100, "AB"}, {699, "CD"}, {1298, "EF\r"}},      '\r',          99, "ABCDEF\r",  1299},
    {"terminator compared as a signed byte",
     {{100, "A\xAA"}},                                -86,           99, "A\xAA",     600},
    {"unsigned terminator value never matches a high byte",
     {{100, "A\xAA"}},                                0xAA,          99, "A\xAA",     701},
    {"NUL terminator, as the modem reads",
     {{100, std::string("OK\0", 3)}},                 0,             79, std::string("OK\0", 3), 600},
};
// clang-format on

TEST_F(SerialLinkTest, ReadReplyEndsAndHoldsByItsRules) {
  openUps();
  for (const ReadCase& c : kReadCases) {
    const int64_t start = now();
    for (const auto& [at, bytes] : c.line) ups.sendAt(start + at, bytes);
    char buffer[100];
    std::fill(std::begin(buffer), std::end(buffer), 'x');
    int count = -1;
    EXPECT_EQ(link.readReply(kUpsSlot, buffer, &count, c.terminator, c.maxLength, 600), 0)
        << c.behaviour;
    EXPECT_EQ(std::string(buffer, std::max(count, 0)), c.reply) << c.behaviour;
    EXPECT_EQ(buffer[std::max(count, 0)], '\0') << c.behaviour;
    EXPECT_EQ(now() - start, c.returnsAfterMs) << c.behaviour;
    link.flushPort(kUpsSlot, 10000);  // let every leftover arrive and drop it
  }
}

TEST_F(SerialLinkTest, SilentReadSleepsRatherThanPolling) {
  openUps();
  const int calls = fake.serial.osCalls();
  char buffer[8];
  int count = 0;
  link.readReply(kUpsSlot, buffer, &count, '\r', 7, 1000);
  EXPECT_LE(fake.serial.osCalls() - calls, 4);
}

TEST_F(SerialLinkTest, MaximumLengthZeroWaitsOutTheTimeOutWithoutTakingInput) {
  openUps();
  const int64_t start = now();
  ups.sendAt(start + 10, "AB");
  char buffer[1];
  int count = -1;
  const int calls = fake.serial.osCalls();
  EXPECT_EQ(link.readReply(kUpsSlot, buffer, &count, '\r', 0, 600), 0);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(now() - start, 601);
  EXPECT_LE(fake.serial.osCalls() - calls, 2);
}

TEST_F(SerialLinkTest, DeviceUnpluggedDuringAReadEndsItAtTheTimeOutWithWhatArrived) {
  openUps();
  const int64_t start = now();
  ups.sendAt(start + 100, "AB");
  ups.sendAt(start + 300, "CD\r");
  ups.beforeRead = [&] {
    if (now() >= start + 300) ups.unplug();
  };
  char buffer[16];
  int count = 0;
  EXPECT_EQ(link.readReply(kUpsSlot, buffer, &count, '\r', 15, 600), 0);
  EXPECT_STREQ(buffer, "AB");
  EXPECT_EQ(now() - start, 701);
  EXPECT_EQ(link.openPort(kModemSlot, 0), -1);  // gone until plugged in again
}

TEST_F(SerialLinkTest, ClosingTheSlotDuringAReadEndsItWithMinusOne) {
  openUps();
  const int64_t start = now();
  ups.sendAt(start + 100, "AB");
  ups.sendAt(start + 300, "CD");
  ups.beforeRead = [&] {
    if (now() >= start + 300) link.closePort(kUpsSlot);
  };
  char buffer[16];
  int count = 0;
  // The read already under way when the slot closed still lands; the loop
  // notices the close when its wait ends, with no hold after it.
  EXPECT_EQ(link.readReply(kUpsSlot, buffer, &count, '\r', 15, 600), -1);
  EXPECT_STREQ(buffer, "ABCD");
  EXPECT_LE(now() - start, 300 + 601);
  EXPECT_EQ(ups.openPorts(), 0);
}

TEST_F(SerialLinkTest, TransactionFlushesWritesSettlesAndReads) {
  openUps();
  ups.answer("Q1\r", {{30, "(230.0 229.0"}, {80, " 50.0\r"}});
  ups.sendAt(now() + 5, "noise");
  const int64_t start = now();
  char reply[100];
  int count = 0;
  EXPECT_EQ(link.serialTransaction("Q1\r", 3, 20, 10, reply, &count, '\r', 99, 1000), 0);
  EXPECT_STREQ(reply, "(230.0 229.0 50.0\r");
  EXPECT_EQ(ups.purgeTimes().back(), start + 60);
  const std::vector<WrittenByte> written = ups.written();
  ASSERT_EQ(written.size(), 3u);
  EXPECT_EQ(written[0].atMs, start + 60);
  EXPECT_EQ(written[2].atMs, start + 100);
  // The read starts after 20 ms of the last delay and 10 ms of settling; its
  // first chunk comes at once and the terminator with the second.
  EXPECT_EQ(now() - start, 60 + 3 * 20 + 10 + 1000);
}

TEST_F(SerialLinkTest, TransactionOnAClosedPortReturnsAnEmptyReply) {
  const int64_t start = now();
  char reply[8] = "stale";
  int count = 7;
  EXPECT_EQ(link.serialTransaction("IS\r\n", 4, 0, 10, reply, &count, '\r', 7, 600), 0);
  EXPECT_EQ(count, 0);
  EXPECT_STREQ(reply, "");
  EXPECT_EQ(fake.serial.osCalls(), 0);
  EXPECT_EQ(now() - start, 10);
}

// Each exchange flushes, so an exchange running inside another would lose its
// reply or take the other's; both show when two threads share the port.
TEST_F(SerialLinkTest, PortLockRunsOneExchangeAtATime) {
  openUps();
  ups.answer("A\r", {{5, "a-reply\r"}});
  ups.answer("B\r", {{5, "b-reply\r"}});
  std::atomic<int> wrong{0};
  auto caller = [&](const char* command, const char* expected) {
    for (int i = 0; i < 200; ++i) {
      char reply[16];
      int count = 0;
      link.serialTransaction(command, 2, 1, 1, reply, &count, '\r', 15, 20);
      if (std::string(reply) != expected) ++wrong;
    }
  };
  std::thread a(caller, "A\r", "a-reply\r");
  std::thread b(caller, "B\r", "b-reply\r");
  a.join();
  b.join();
  EXPECT_EQ(wrong.load(), 0);
  const std::string text = ups.writtenText();
  ASSERT_EQ(text.size(), 800u);
  for (size_t i = 0; i < text.size(); i += 2) {
    ASSERT_TRUE(text.compare(i, 2, "A\r") == 0 || text.compare(i, 2, "B\r") == 0) << "at " << i;
  }
}

}  // namespace
}  // namespace orvik
