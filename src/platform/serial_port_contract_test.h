// What every SerialPorts backend must do, as one typed test suite. A backend
// instantiates it with a harness that provides:
//   Clock& clock();                               time as the backend sees it
//   std::unique_ptr<SerialPort> open();           the device under test, as "COM1"
//   std::unique_ptr<SerialPort> openMissing();    a name with no device behind it
//   void peerSend(const std::string& bytes);      the device sends now
//   void peerSendAfter(int64_t ms, const std::string& bytes);
//   std::string peerReceived(size_t count);       the first count bytes the port wrote
//   void unplug();                                the device goes away
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/serial_port.h"

namespace orvik {

template <typename Harness>
class SerialPortContract : public ::testing::Test {
 protected:
  // Reads until count bytes have come or the device stays quiet for a second.
  std::string readSome(SerialPort& port, size_t count) {
    std::string got;
    unsigned char buffer[64];
    while (got.size() < count && port.waitReadable(1000)) {
      const int n =
          port.read(buffer, static_cast<int>(std::min(sizeof buffer, count - got.size())));
      if (n < 0) break;
      got.append(reinterpret_cast<char*>(buffer), static_cast<size_t>(n));
    }
    return got;
  }

  int64_t elapsedSince(int64_t start) { return h.clock().monotonicMs() - start; }

  Harness h;
};

TYPED_TEST_SUITE_P(SerialPortContract);

// Bytes a tty would translate or swallow in cooked mode: CR, LF, XON, XOFF,
// interrupt, erase, NUL and 0xFF.
inline const std::string kAwkwardBytes("\x01\r\n\x11\x13\x03\x7f\x00\xff", 9);

TYPED_TEST_P(SerialPortContract, BytesTravelUnchangedBothWays) {
  auto port = this->h.open();
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(port->write(reinterpret_cast<const unsigned char*>(kAwkwardBytes.data()),
                        static_cast<int>(kAwkwardBytes.size())),
            static_cast<int>(kAwkwardBytes.size()));
  EXPECT_EQ(this->h.peerReceived(kAwkwardBytes.size()), kAwkwardBytes);
  this->h.peerSend(kAwkwardBytes);
  EXPECT_EQ(this->readSome(*port, kAwkwardBytes.size()), kAwkwardBytes);
}

TYPED_TEST_P(SerialPortContract, ReadTakesWhatIsThereUpToMaxWithoutWaiting) {
  auto port = this->h.open();
  ASSERT_NE(port, nullptr);
  unsigned char buffer[8] = {};
  EXPECT_EQ(port->read(buffer, 8), 0);
  this->h.peerSend("ABCDEF");
  ASSERT_TRUE(port->waitReadable(1000));
  EXPECT_EQ(this->readSome(*port, 4), "ABCD");
  EXPECT_EQ(this->readSome(*port, 2), "EF");
  EXPECT_EQ(port->read(buffer, 8), 0);
}

TYPED_TEST_P(SerialPortContract, WaitSleepsItsWholeTimeWhenNothingComes) {
  auto port = this->h.open();
  ASSERT_NE(port, nullptr);
  const int64_t start = this->h.clock().monotonicMs();
  EXPECT_FALSE(port->waitReadable(120));
  EXPECT_GE(this->elapsedSince(start), 120);
}

TYPED_TEST_P(SerialPortContract, WaitEndsWhenInputArrives) {
  auto port = this->h.open();
  ASSERT_NE(port, nullptr);
  const int64_t start = this->h.clock().monotonicMs();
  this->h.peerSendAfter(50, "X");
  EXPECT_TRUE(port->waitReadable(5000));
  EXPECT_LT(this->elapsedSince(start), 2500);
  EXPECT_EQ(this->readSome(*port, 1), "X");
  // Input already waiting: no sleep at all.
  this->h.peerSend("Y");
  ASSERT_TRUE(port->waitReadable(5000));
  const int64_t again = this->h.clock().monotonicMs();
  EXPECT_TRUE(port->waitReadable(5000));
  EXPECT_LT(this->elapsedSince(again), 1000);
}

TYPED_TEST_P(SerialPortContract, PurgeDropsInputThatHasArrived) {
  auto port = this->h.open();
  ASSERT_NE(port, nullptr);
  this->h.peerSend("stale");
  ASSERT_TRUE(port->waitReadable(1000));
  EXPECT_TRUE(port->purge());
  unsigned char buffer[8];
  EXPECT_EQ(port->read(buffer, 8), 0);
  this->h.peerSend("new");
  EXPECT_EQ(this->readSome(*port, 3), "new");
}

// Pseudo-terminals hold only 8 data bits without parity, so the contract
// checks the speed and the stop bits.
TYPED_TEST_P(SerialPortContract, SettingsReadBackAsApplied) {
  auto port = this->h.open();
  ASSERT_NE(port, nullptr);
  LineSettings settings;
  ASSERT_TRUE(port->readSettings(&settings));
  settings.baudRate = 9600;
  settings.stopBits = StopBits::kTwo;
  ASSERT_TRUE(port->applySettings(settings));
  LineSettings back;
  ASSERT_TRUE(port->readSettings(&back));
  EXPECT_EQ(back.baudRate, 9600u);
  EXPECT_EQ(back.stopBits, StopBits::kTwo);

  settings = {.baudRate = 1200, .dtrControl = kLineEnable, .rtsControl = kLineDisable};
  ASSERT_TRUE(port->applySettings(settings));
  ASSERT_TRUE(port->readSettings(&back));
  EXPECT_EQ(back.baudRate, 1200u);
  EXPECT_EQ(back.dataBits, 8);
  EXPECT_EQ(back.parity, Parity::kNone);
  EXPECT_EQ(back.stopBits, StopBits::kOne);
  EXPECT_FALSE(port->applySettings({.baudRate = 1234}));
}

TYPED_TEST_P(SerialPortContract, PortIsNotSharedAndMissingDevicesDoNotOpen) {
  auto port = this->h.open();
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(this->h.open(), nullptr);
  port.reset();
  EXPECT_NE(this->h.open(), nullptr);
  EXPECT_EQ(this->h.openMissing(), nullptr);
}

TYPED_TEST_P(SerialPortContract, UnpluggedDeviceFailsAndWaitsSleepTheirTime) {
  auto port = this->h.open();
  ASSERT_NE(port, nullptr);
  this->h.unplug();
  unsigned char buffer[8];
  for (int round = 0; round < 3; ++round) {
    const int64_t start = this->h.clock().monotonicMs();
    EXPECT_FALSE(port->waitReadable(100));
    EXPECT_GE(this->elapsedSince(start), 100);
    EXPECT_LE(port->read(buffer, 8), 0);
  }
  EXPECT_EQ(port->read(buffer, 8), -1);
  const unsigned char byte = 'Q';
  EXPECT_EQ(port->write(&byte, 1), -1);
}

REGISTER_TYPED_TEST_SUITE_P(SerialPortContract, BytesTravelUnchangedBothWays,
                            ReadTakesWhatIsThereUpToMaxWithoutWaiting,
                            WaitSleepsItsWholeTimeWhenNothingComes, WaitEndsWhenInputArrives,
                            PurgeDropsInputThatHasArrived, SettingsReadBackAsApplied,
                            PortIsNotSharedAndMissingDevicesDoNotOpen,
                            UnpluggedDeviceFailsAndWaitsSleepTheirTime);

}  // namespace orvik
