#include "binary_responder.h"

#include <gtest/gtest.h>

#include "fake_host.h"

namespace orvik::upssim {
namespace {

std::string bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

struct BinaryFixture {
  BinaryFixture() : responder(ups) {}
  Ups ups;
  BinaryResponder responder;
  FakeHost host{responder};
};

TEST(BinaryResponder, StatusFrameCarriesOneValuePerByte) {
  BinaryFixture f;
  f.ups.state().inputVoltage = 232;
  f.ups.state().loadPercent = 40;
  f.ups.setBatteryCharge(80);
  EXPECT_EQ(f.host.send("\x01"),
            bytes({40, 80, 116, 116, 50, 0, 50, 0, 0, 0x00, 0x00, 'O', 0x29, 0, 0, 0x31}));
}

TEST(BinaryResponder, StatusBitsFollowTheUps) {
  BinaryFixture f;
  f.ups.state().binaryVariant = 2;
  f.ups.state().inputVoltage = 200;  // boost
  f.ups.state().batteryReplace = true;
  f.ups.state().loadPercent = 120;  // overload
  std::string frame = f.host.send("\x01");
  ASSERT_EQ(frame.size(), 16u);
  EXPECT_EQ(frame[3], 115);  // regulated output 230 V / 2
  EXPECT_EQ(frame[9], 0x38);
  EXPECT_EQ(frame[10], 0x02);
  EXPECT_EQ(frame[11], 'K');

  f.ups.startTest(f.host.nowMs, 60);  // on battery: no boost
  frame = f.host.send("\x01");
  EXPECT_EQ(frame[9], 0x20);
  EXPECT_EQ(frame[10], 0x06);

  f.ups.setMains(false, f.host.nowMs);
  f.ups.setBatteryCharge(10);
  frame = f.host.send("\x01");
  EXPECT_EQ(frame[2], 0);  // no input
  EXPECT_EQ(frame[4], 0);  // no input frequency: still a valid frame
  EXPECT_EQ(frame[6], 50);
  EXPECT_EQ(frame[9], 0x01 | 0x02 | 0x20);
  EXPECT_EQ(frame[10], 0x02);  // the test was aborted by the failure
}

TEST(BinaryResponder, HostShutdownFrameIsEchoedAndObeyed) {
  BinaryFixture f;
  f.ups.state().minuteSeconds = 10;
  // Restore after 2 minutes, on mains, switch off after 1 minute 5 seconds.
  std::string frame = bytes({0x04, 0x00, 0x02, 0xBA, 0xBC, 0x01, 0x05});
  int64_t sentAt = f.host.nowMs;
  EXPECT_EQ(f.host.send(frame), frame);
  ASSERT_TRUE(f.ups.shutdownPending());
  EXPECT_EQ(f.ups.shutdownAtMs(), sentAt + 15'000);
  f.ups.advance(sentAt + 15'000);
  EXPECT_FALSE(f.ups.state().outputOn);
  f.ups.advance(sentAt + 34'999);
  EXPECT_FALSE(f.ups.state().outputOn);
  f.ups.advance(sentAt + 35'000);
  EXPECT_TRUE(f.ups.state().outputOn);
}

TEST(BinaryResponder, NoRestoreTimeWaitsForMainsToReturn) {
  BinaryFixture f;
  f.ups.setMains(false, f.host.nowMs);
  f.host.send(bytes({0x04, 0x76, 0x1D, 0xB9, 0xBC, 0x00, 0x02}));
  f.ups.advance(f.host.nowMs + 60'000);
  EXPECT_FALSE(f.ups.state().outputOn);
  f.ups.setMains(true, f.host.nowMs + 61'000);
  EXPECT_TRUE(f.ups.state().outputOn);
}

TEST(BinaryResponder, CancelFrameWithSecondsAboveFiftyNineDropsTheShutdown) {
  BinaryFixture f;
  f.host.send(bytes({0x04, 0x76, 0x1D, 0xBA, 0xBC, 0x05, 0x00}));
  ASSERT_TRUE(f.ups.shutdownPending());
  f.host.send(bytes({0x04, 0x76, 0x1D, 0xBA, 0xBC, 0x00, 0xFF}));
  EXPECT_FALSE(f.ups.shutdownPending());
}

TEST(BinaryResponder, TextNoiseAndCutCommandsAreIgnored) {
  BinaryFixture f;
  for (const char* probe : {"OI\r", "Q1\r", "IS\r\n"}) EXPECT_EQ(f.host.send(probe), "") << probe;
  // A switch-off command cut after one argument byte is dropped, so the
  // next status request is not taken as its second argument.
  EXPECT_EQ(f.host.send(bytes({0xBC, 0x00})), "");
  EXPECT_FALSE(f.ups.shutdownPending());
  EXPECT_EQ(f.host.send("\x01").size(), 16u);
  EXPECT_EQ(f.host.send("\x03"), "\x03");
  EXPECT_TRUE(f.ups.readings().testRunning);
}

}  // namespace
}  // namespace orvik::upssim
