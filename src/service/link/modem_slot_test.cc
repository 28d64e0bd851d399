// The page action on the modem slot of a real SerialLink, against a fake
// modem on the fake clock: what reaches the modem, when, and what a modem
// that misbehaves costs.
#include "service/link/modem_slot.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "platform/fake_platform.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

struct Line {
  std::string text;
  int64_t atMs;  // when its first byte was written
  bool operator==(const Line&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Line& line) {
  return out << "{\"" << line.text << "\" at " << line.atMs << "}";
}

// What the modem received, cut after each "\r".
std::vector<Line> linesOf(const FakeSerialDevice& modem) {
  std::vector<Line> lines;
  bool open = false;
  for (const WrittenByte& b : modem.written()) {
    if (!open) lines.push_back({"", b.atMs});
    lines.back().text += static_cast<char>(b.byte);
    open = b.byte != '\r';
  }
  return lines;
}

// One call whose port opens at openAtMs to a modem that never answers: a
// silent read lasts its time-out and 1 ms.
std::vector<Line> silentCall(int64_t openAtMs, const std::string& dialLine, int dialWaitMs) {
  const int64_t atz = openAtMs + 1000;
  const int64_t dial = atz + 500 + 301 + 2000;
  const int64_t escape = dial + dialWaitMs + 301 + 4000;
  const int64_t hangUp = escape + 500 + 301 + 1000;
  return {{"ATZ\r", atz}, {dialLine, dial}, {"+++\r", escape}, {"ATH0\r", hangUp}};
}
// ... and the port is closed again this long after it was opened.
int64_t silentCallLength(int dialWaitMs) {
  return silentCall(0, "", dialWaitMs).back().atMs + 401 + 1000;
}

class ModemPagingTest : public ::testing::Test {
 protected:
  int64_t now() { return fake.clock.monotonicMs(); }
  EventAction& powerFailure() { return *eventActionForEvent(*record, 1); }
  void runPage() { action.runAction(powerFailure(), {now(), 1}); }

  FakePlatform fake;
  FakeSerialDevice& ups = fake.serial.device("COM1");
  FakeSerialDevice& modem = fake.serial.device("COM2");
  SerialLink link{fake.platform()};
  ModemSlot slot{link};
  std::unique_ptr<StatusRecord> record = std::make_unique<StatusRecord>();
  PageAction action{*record, fake.clock, slot};

  void SetUp() override { storeField(record->pageport, 1); }
};

TEST_F(ModemPagingTest, CallSendsTheUpperCasedDialLineWithTheFixedPauses) {
  struct Case {
    const char* entry;
    const char* message;
    const char* dialLine;
    int dialWaitMs;  // 2 s more for each ";"
  };
  const Case cases[] = {
      {"atdt5550101,,", "42", "ATDT5550101,,42\r", 12000},
      {"atdt 555-0101 w", "ab*9#;", "ATDT 555-0101 WAB*9#;\r", 14000},
      {"ATDT5550101", ";;;", "ATDT5550101;;;\r", 18000},
      {"atdt5550101", "\xe9t\xe9", "ATDT5550101\xe9T\xe9\r", 12000},  // only ASCII letters change
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dialLine);
    const size_t before = linesOf(modem).size();
    const int64_t start = now();
    EXPECT_EQ(pageUser(slot, fake.clock, 1, c.entry, c.message), 1);
    const std::vector<Line> all = linesOf(modem);
    const std::vector<Line> lines(all.begin() + static_cast<long>(before), all.end());
    EXPECT_EQ(lines, silentCall(start, c.dialLine, c.dialWaitMs));
    EXPECT_EQ(now() - start, silentCallLength(c.dialWaitMs));
    EXPECT_EQ(modem.openPorts(), 0) << "the port is closed after the call";
  }
  EXPECT_TRUE(ups.written().empty());
  EXPECT_EQ(ups.openTimes().size(), 0u);
}

TEST_F(ModemPagingTest, NothingToSendLeavesTheModemAlone) {
  struct Case {
    const char* users;
    const char* message;
  };
  const Case cases[] = {
      {"atdt5550101;atdt5550202", ""},  // no message: no call at all
      {"", "42"},
      {" ; ;;", "42"},  // only empty entries
  };
  for (const Case& c : cases) {
    setText(powerFailure().pageUsers, c.users);
    setText(powerFailure().pageMessage, c.message);
    const int64_t start = now();
    runPage();
    EXPECT_EQ(now(), start) << c.users;
  }
  EXPECT_TRUE(fake.serial.openedNames().empty());
}

TEST_F(ModemPagingTest, EachEntryIsACallOfItsOwnOnAFreshlyOpenedPort) {
  setText(powerFailure().pageUsers, "atdt1 ; atdt2;atdt3");  // the last without its ";"
  setText(powerFailure().pageMessage, "7");
  const int64_t start = now();
  runPage();
  const int64_t length = silentCallLength(12000);
  std::vector<Line> expected;
  for (int call = 0; call < 3; ++call) {
    const std::string dialLine = "ATDT" + std::to_string(call + 1) + "7\r";
    for (const Line& line : silentCall(start + call * length, dialLine, 12000)) {
      expected.push_back(line);
    }
  }
  EXPECT_EQ(linesOf(modem), expected);
  // A port left open would make the next open of the slot fail.
  EXPECT_EQ(modem.openTimes(), (std::vector<int64_t>{start, start + length, start + 2 * length}));
  EXPECT_EQ(modem.openPorts(), 0);
  EXPECT_EQ(now() - start, 3 * length);
}

// The modem's line with its first open refused, as by a port another
// program holds for a moment.
class RefusingFirstOpen final : public ModemLine {
 public:
  explicit RefusingFirstOpen(ModemLine& line) : line_(line) {}
  int openPort(int portIndex) override {
    return opens_++ == 0 ? -1 : line_.openPort(portIndex);
  }
  int writeBytes(const char* bytes, int count) override { return line_.writeBytes(bytes, count); }
  int readReply(char* buffer, int* count, int terminator, int maxLength, int timeoutMs) override {
    return line_.readReply(buffer, count, terminator, maxLength, timeoutMs);
  }
  int closePort() override { return line_.closePort(); }

 private:
  ModemLine& line_;
  int opens_ = 0;
};

TEST_F(ModemPagingTest, PortThatCannotBeOpenedSkipsThatEntryOnly) {
  EXPECT_EQ(pageUser(slot, fake.clock, 2, "atdt1", "7"), 0);  // nothing behind COM3
  EXPECT_TRUE(modem.written().empty());

  RefusingFirstOpen refusing(slot);
  PageAction skipping(*record, fake.clock, refusing);
  setText(powerFailure().pageUsers, "atdt1;atdt2");
  setText(powerFailure().pageMessage, "7");
  const int64_t start = now();
  skipping.runAction(powerFailure(), {start, 1});
  EXPECT_EQ(linesOf(modem), silentCall(start, "ATDT27\r", 12000));
}

// Whatever the modem says, or keeps saying, the call runs the same sequence
// and each read lasts at most twice its time-out.
TEST_F(ModemPagingTest, BabblingModemCostsNoMoreThanTheFixedPauses) {
  struct Case {
    const char* behaviour;
    int everyMs;  // a chunk of bytes this often, from the start
    std::string chunk;
  };
  const Case cases[] = {
      {"answers every command", 0, ""},
      {"floods the line", 1, "noise!"},
      {"trickles one byte just inside the silence limit", 250, "x"},
      {"sends NUL bytes", 100, std::string(3, '\0')},
  };
  const int64_t fixed = silentCallLength(12000);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.behaviour);
    FakePlatform local;
    FakeSerialDevice& line = local.serial.device("COM2");
    SerialLink localLink{local.platform()};
    ModemSlot localSlot{localLink};
    line.answer("ATZ\r", {{20, "\r\nOK\r\n"}});
    line.answer("ATDT5550101,,42\r", {{3000, "\r\nCONNECT 2400\r\n"}});
    line.answer("+++\r", {{100, "\r\nOK\r\n"}});
    line.answer("ATH0\r", {{50, "\r\nOK\r\n"}});
    if (c.everyMs > 0) {
      for (int64_t at = 0; at < fixed + 5000; at += c.everyMs) line.sendAt(at, c.chunk);
    }
    EXPECT_EQ(pageUser(localSlot, local.clock, 1, "atdt5550101,,", "42"), 1);
    const int64_t took = local.clock.monotonicMs();
    EXPECT_GE(took, fixed - 4);
    EXPECT_LE(took, fixed + 300 + 300 + 300 + 400);
    std::vector<Line> lines = linesOf(line);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1].text, "ATDT5550101,,42\r");
    EXPECT_EQ(line.openPorts(), 0);
  }
}

// Paging must never wait for the UPS port: a call runs to its end while a
// UPS exchange holds the port's lock, and leaves the UPS line untouched.
TEST_F(ModemPagingTest, CallNeverWaitsForTheUpsPortNorTouchesIt) {
  ASSERT_EQ(link.openPort(kUpsSlot, 0), 0);
  ups.answer("Q1\r", {{10, "(230.0\r"}});
  char reply[16];
  int count = 0;
  PortHold hold = link.beginTransaction("Q1\r", 3, 0, 0, reply, &count, '\r', 15, 100000);
  const size_t upsBytes = ups.written().size();
  const size_t upsPurges = ups.purgeTimes().size();
  std::future<int> call = std::async(std::launch::async, [&] {
    return pageUser(slot, fake.clock, 1, "atdt5550101", "42");
  });
  const bool finished = call.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  hold.finish();
  EXPECT_TRUE(finished) << "the page waited for the UPS port's lock";
  EXPECT_EQ(call.get(), 1);
  EXPECT_EQ(linesOf(modem).size(), 4u);
  EXPECT_EQ(ups.written().size(), upsBytes);
  EXPECT_EQ(ups.purgeTimes().size(), upsPurges);
}

}  // namespace
}  // namespace orvik
