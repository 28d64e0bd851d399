#include "service/actions/broadcast_action.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/fake_clock.h"
#include "platform/fake_sockets.h"
#include "service/actions/event_notice.h"
#include "shared/control_datagram.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kMarch3rd2007At140509 = 1172930709;  // UTC

class RecordingMessenger final : public MessengerNotices {
 public:
  int sendMessengerNotice(const char* target, const char* text) override {
    notices.emplace_back(target, text);
    return 1;
  }
  std::vector<std::pair<std::string, std::string>> notices;
};

class BroadcastActionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() / ("orvik_broadcast_" + std::to_string(std::random_device()()));
    fs::create_directories(dir_);
    std::ofstream(dir_ / "msg.en")
        << "<801><Power failure (no shutdown)><Power failure at #HOSTNAME#, "
           "next notice in #DOWNTIME# s><>\n";
    ASSERT_EQ(catalogue_.loadCatalogue((dir_.string() + "/").c_str(), "English"), 1);
    setText(record().hostName, "ups-host");
    setText(record().computerName, "UPSPC");
    EventAction& power = entry(1);
    storeField(power.bnmEnable, 1);
    storeField(power.shutEnable, 1);
    setText(power.bnmMessage, "Power failure at #HOSTNAME#, #DOWNTIME# left");
    setText(power.bnmUsers, "10.0.0.9");
    setFlagBit(record().alarmFlags, 1, true);
  }
  void TearDown() override { fs::remove_all(dir_); }

  StatusRecord& record() { return *record_; }
  EventAction& entry(int event) { return *eventActionForEvent(record(), event); }
  void queueNow(int event) {
    queues_.enqueueAction(ActionQueues::kBroadcast, entry(event), event, clock_.monotonicMs());
  }
  void step() { workers_.workerStep(ActionQueues::kBroadcast); }
  std::vector<ControlDatagram> decoded() {
    std::vector<ControlDatagram> out;
    for (const FakeSockets::Sent& s : sockets_.sent()) {
      ControlDatagram d;
      EXPECT_EQ(decodeControlDatagram(s.bytes.data(), s.bytes.size(), &d), 0);
      out.push_back(d);
    }
    return out;
  }
  std::vector<uint32_t> addresses() {
    std::vector<uint32_t> out;
    for (const FakeSockets::Sent& s : sockets_.sent()) {
      EXPECT_EQ(s.to.port, kNotifyPort);
      out.push_back(s.to.address);
    }
    return out;
  }

  fs::path dir_;
  MessageCatalogue catalogue_;
  std::unique_ptr<StatusRecord> record_ = std::make_unique<StatusRecord>();
  FakeClock clock_{kMarch3rd2007At140509};
  FakeSockets sockets_;
  std::string lines_;
  DatagramSender sender_{sockets_, [this](const char* line) { lines_ += line; }};
  RecordingMessenger messenger_;
  ActionQueues queues_{*record_, clock_};
  BroadcastAction broadcast_{*record_, clock_, catalogue_, sender_, messenger_, queues_};
  NotYetBuiltAction others_;
  ActionWorkers workers_{
      queues_, *record_, sender_, {&broadcast_, &others_, &others_, &others_, &others_}};
};

TEST_F(BroadcastActionTest, NoticeDatagramIsHeaderArgumentAndTheSixFieldsByteForByte) {
  storeField(record().powerFailCountdown, 754);
  queueNow(1);
  step();
  const std::string text =
      "HOST:ups-host;UNAME:UPSPC;OCCUR:090514030201070;DOWN:754;LANG:en;"
      "DESC:Power failure at UPSPC, 12:34 left";
  std::vector<uint8_t> expected = {0x00, 0x00, 0x89, 0x20, 0x00, 0x00,
                                   0x00, 0x01, 0x00, 0x00, 0x00, static_cast<uint8_t>(text.size())};
  expected.insert(expected.end(), text.begin(), text.end());
  const auto sent = sockets_.sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].to.address, 0x0A000009u);
  EXPECT_EQ(sent[0].to.port, 8830);
  EXPECT_EQ(std::string(sent[0].bytes.begin(), sent[0].bytes.end()),
            std::string(expected.begin(), expected.end()));
  EXPECT_TRUE(messenger_.notices.empty()) << "a dotted address gets the datagram only";
}

TEST_F(BroadcastActionTest, OccurFieldCountsMonthFromZeroYearsFrom1900AndCarriesTheSummerFlag) {
  LocalTime summer{
      .year = 2026, .month = 12, .day = 31, .hour = 23, .minute = 59, .second = 58, .isDst = 1};
  EXPECT_STREQ(occurValue(summer).chars(), "585923311101261");
  LocalTime unknown{.year = 1999, .month = 1, .day = 1, .isDst = -1};
  EXPECT_STREQ(occurValue(unknown).chars(), "000000010000990");
}

TEST_F(BroadcastActionTest, PowerFailureWithoutShutdownSends801WithThePeriodAsDownValue) {
  storeField(entry(1).shutEnable, 0);
  storeField(entry(1).bnmPeriod, 60);
  storeField(record().powerFailCountdown, 300);
  queueNow(1);
  step();
  // With a shutdown configured a negative countdown shows as 0.
  storeField(entry(1).shutEnable, 1);
  storeField(record().powerFailCountdown, -2);
  storeField(entry(1).bnmPeriod, 0);
  queueNow(1);
  step();
  const std::vector<ControlDatagram> sent = decoded();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].argument, 801);
  EXPECT_NE(sent[0].text.find(";DOWN:60;"), std::string::npos) << sent[0].text;
  EXPECT_NE(sent[0].text.find(";DESC:Power failure at UPSPC, next notice in 60 s"),
            std::string::npos)
      << sent[0].text;
  EXPECT_EQ(sent[1].argument, 1);
  EXPECT_NE(sent[1].text.find(";DOWN:0;"), std::string::npos) << sent[1].text;
  EXPECT_NE(sent[1].text.find(";DESC:Power failure at UPSPC, 0:00 left"), std::string::npos)
      << sent[1].text;
}

// bnmDelay 10, bnmPeriod 60, a failure of three minutes, and a worker that
// comes by only every 700 ms: the notices keep the rhythm of the due times.
TEST_F(BroadcastActionTest, TenSixtyBroadcastsAt10And70And130SecondsOfAThreeMinuteFailure) {
  for (const bool recoveryRaised : {false, true}) {
    SCOPED_TRACE(recoveryRaised ? "recovery raised" : "bit cleared only");
    const int64_t start = clock_.monotonicMs();
    const size_t before = sockets_.sent().size();
    storeField(entry(1).bnmPeriod, 60);
    setFlagBit(record().alarmFlags, 1, true);
    queues_.enqueueAction(ActionQueues::kBroadcast, entry(1), 1, start + 10'000);
    std::vector<int64_t> sentAt;
    for (int64_t t = 0; t <= 300'000; t += 700) {
      if (t >= 180'000 && (loadField(record().alarmFlags) & 2u) != 0) {
        setFlagBit(record().alarmFlags, 1, false);
        if (recoveryRaised) queues_.enqueueAction(ActionQueues::kBroadcast, entry(101), 101, 0);
      }
      step();
      if (sockets_.sent().size() > before + sentAt.size()) sentAt.push_back(t);
      clock_.advanceMs(700);
    }
    EXPECT_EQ(sentAt, (std::vector<int64_t>{10'500, 70'000, 130'200}));
    EXPECT_TRUE(queues_.queueIdle(ActionQueues::kBroadcast));
  }
}

TEST_F(BroadcastActionTest, RepetitionOnlyForPositivePeriods) {
  for (const int16_t period : {0, -1, -32768}) {
    storeField(entry(1).bnmPeriod, period);
    queueNow(1);
    step();
    EXPECT_TRUE(queues_.queueIdle(ActionQueues::kBroadcast)) << period;
  }
  EXPECT_EQ(sockets_.sent().size(), 3u);
  storeField(entry(1).bnmPeriod, 1);
  queueNow(1);
  step();
  EXPECT_FALSE(queues_.queueIdle(ActionQueues::kBroadcast));
}

TEST_F(BroadcastActionTest, HostListEntriesAreTrimmedAndOnlyComputerNamesGetMessengerNotices) {
  sockets_.addHost("Server1", 0x0A000001);
  sockets_.addHost("LocalHost", kLoopbackIpv4);
  setText(entry(1).bnmUsers, " 10.0.0.5 ; ;LocalHost;Server1;nowhere;\x01\x7f;10.0.0.256");
  queueNow(1);
  step();
  EXPECT_EQ(addresses(), (std::vector<uint32_t>{0x0A000005, kLoopbackIpv4, 0x0A000001}));
  std::vector<std::string> targets;
  for (const auto& [target, text] : messenger_.notices) {
    targets.push_back(target);
    EXPECT_EQ(text, "Power failure at UPSPC, 0:00 left");
  }
  EXPECT_EQ(targets, (std::vector<std::string>{"Server1", "nowhere", "\x01\x7f", "10.0.0.256"}));
}

TEST_F(BroadcastActionTest, BroadcastWordInAnyCaseGoesToTheSubnetButWithASemicolonIsAHost) {
  sockets_.addHost("broadcast", 0x0A0000FE);
  setText(entry(1).bnmUsers, "BroadCast");
  queueNow(1);
  step();
  setText(entry(1).bnmUsers, "broadcast;");
  queueNow(1);
  step();
  setText(entry(1).bnmUsers, "");
  queueNow(1);
  step();
  EXPECT_EQ(addresses(), (std::vector<uint32_t>{kBroadcastIpv4, 0x0A0000FE}));
  ASSERT_EQ(messenger_.notices.size(), 2u);
  EXPECT_EQ(messenger_.notices[0].first, "*");
  EXPECT_EQ(messenger_.notices[1].first, "broadcast");
}

// The pages may leave any bytes in the fields, NUL or not.
TEST_F(BroadcastActionTest, FieldsWithoutTerminatorAreCutAndALongNoticeIsCutTo1024Bytes) {
  EventAction& power = entry(1);
  std::memset(power.bnmUsers, 'a', sizeof power.bnmUsers);
  std::memset(record().hostName, 'h', sizeof record().hostName);
  std::memset(record().computerName, 'c', sizeof record().computerName);
  std::string message;
  while (message.size() + 10 < sizeof power.bnmMessage) message += "#HOSTNAME#";
  std::memset(power.bnmMessage, '!', sizeof power.bnmMessage);
  std::memcpy(power.bnmMessage, message.data(), message.size());
  sockets_.addHost(std::string(127, 'a'), 0x0A000042);
  queueNow(1);
  step();
  const std::vector<ControlDatagram> sent = decoded();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].length, 1024u);
  EXPECT_EQ(sent[0].text.substr(0, 5 + 256 + 7), "HOST:" + std::string(256, 'h') + ";UNAME:");
  ASSERT_EQ(messenger_.notices.size(), 1u);
  EXPECT_EQ(messenger_.notices[0].first, std::string(256, 'a'));
}

}  // namespace
}  // namespace orvik
