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

// A fake UPS on COM1 and a fake modem on COM2 behind one SerialLink, time 0.
struct Bench {
  // What the modem received, cut after each "\r".
  std::vector<Line> modemLines() const {
    std::vector<Line> lines;
    bool open = false;
    for (const WrittenByte& b : modem.written()) {
      if (!open) lines.push_back({"", b.atMs});
      lines.back().text += static_cast<char>(b.byte);
      open = b.byte != '\r';
    }
    return lines;
  }
  int64_t now() { return fake.clock.monotonicMs(); }

  FakePlatform fake;
  FakeSerialDevice& ups = fake.serial.device("COM1");
  FakeSerialDevice& modem = fake.serial.device("COM2");
  SerialLink link{fake.platform()};
  ModemSlot slot{link};
};

TEST(ModemPaging, CallSendsTheUpperCasedDialLineWithTheFixedPauses) {
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
    Bench b;
    EXPECT_EQ(pageUser(b.slot, b.fake.clock, 1, c.entry, c.message), 1);
    EXPECT_EQ(b.modemLines(), silentCall(0, c.dialLine, c.dialWaitMs));
    EXPECT_EQ(b.now(), silentCallLength(c.dialWaitMs));
    EXPECT_EQ(b.modem.openPorts(), 0) << "the port is closed after the call";
    EXPECT_TRUE(b.fake.serial.openedNames() == std::vector<std::string>{"COM2"});
  }
}

// The modem's line with its first open refused, as by a port another
// program holds for a moment.
class RefusingFirstOpen final : public ModemLine {
 public:
  explicit RefusingFirstOpen(ModemLine& line) : line_(line) {}
  int openPort(int portIndex) override { return opens_++ == 0 ? -1 : line_.openPort(portIndex); }
  int writeBytes(const char* bytes, int count) override { return line_.writeBytes(bytes, count); }
  int readReply(char* buffer, int* count, int terminator, int maxLength, int timeoutMs) override {
    return line_.readReply(buffer, count, terminator, maxLength, timeoutMs);
  }
  int closePort() override { return line_.closePort(); }

 private:
  ModemLine& line_;
  int opens_ = 0;
};

TEST(ModemPaging, EachEntryIsACallOfItsOwnOnAFreshlyOpenedPort) {
  struct Case {
    const char* users;
    const char* message;
    bool refuseFirstOpen;
    std::vector<std::string> dialLines;  // the calls made, in order
  };
  const Case cases[] = {
      {"atdt1 ; atdt2;atdt3", "7", false, {"ATDT17\r", "ATDT27\r", "ATDT37\r"}},
      {"atdt1;atdt2", "7", true, {"ATDT27\r"}},  // the next entry still goes
      {"atdt1;atdt2", "", false, {}},            // no message: no call at all
      {"", "42", false, {}},
      {" ; ;;", "42", false, {}},
  };
  const int64_t length = silentCallLength(12000);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.users);
    Bench b;
    RefusingFirstOpen refusing{b.slot};
    auto record = std::make_unique<StatusRecord>();
    storeField(record->pageport, 1);
    EventAction& power = *eventActionForEvent(*record, 1);
    setText(power.pageUsers, c.users);
    setText(power.pageMessage, c.message);
    PageAction page{
        *record, b.fake.clock,
        c.refuseFirstOpen ? static_cast<ModemLine&>(refusing) : static_cast<ModemLine&>(b.slot)};
    page.runAction(power, {0, 1});

    std::vector<Line> expected;
    std::vector<int64_t> opens;
    for (size_t call = 0; call < c.dialLines.size(); ++call) {
      opens.push_back(static_cast<int64_t>(call) * length);
      for (const Line& l : silentCall(opens.back(), c.dialLines[call], 12000)) {
        expected.push_back(l);
      }
    }
    EXPECT_EQ(b.modemLines(), expected);
    // A port left open would make the next open of the slot fail.
    EXPECT_EQ(b.modem.openTimes(), opens);
    EXPECT_EQ(b.modem.openPorts(), 0);
    EXPECT_EQ(b.now(), static_cast<int64_t>(opens.size()) * length);
  }
}

// Whatever the modem says, or keeps saying, the call runs the same sequence
// and each read lasts at most twice its time-out.
TEST(ModemPaging, BabblingModemCostsNoMoreThanTheFixedPauses) {
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
    Bench b;
    b.modem.answer("ATZ\r", {{20, "\r\nOK\r\n"}});
    b.modem.answer("ATDT5550101,,42\r", {{3000, "\r\nCONNECT 2400\r\n"}});
    b.modem.answer("+++\r", {{100, "\r\nOK\r\n"}});
    b.modem.answer("ATH0\r", {{50, "\r\nOK\r\n"}});
    if (c.everyMs > 0) {
      for (int64_t at = 0; at < fixed + 5000; at += c.everyMs) b.modem.sendAt(at, c.chunk);
    }
    EXPECT_EQ(pageUser(b.slot, b.fake.clock, 1, "atdt5550101,,", "42"), 1);
    EXPECT_GE(b.now(), fixed - 4);
    EXPECT_LE(b.now(), fixed + 300 + 300 + 300 + 400);
    const std::vector<Line> lines = b.modemLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1].text, "ATDT5550101,,42\r");
    EXPECT_EQ(b.modem.openPorts(), 0);
  }
}

// Paging must never wait for the UPS port: a call runs to its end while a
// UPS exchange holds the port's lock, and leaves the UPS line untouched.
TEST(ModemPaging, CallNeverWaitsForTheUpsPortNorTouchesIt) {
  Bench b;
  ASSERT_EQ(b.link.openPort(kUpsSlot, 0), 0);
  b.ups.answer("Q1\r", {{10, "(230.0\r"}});
  char reply[16];
  int count = 0;
  PortHold hold = b.link.beginTransaction("Q1\r", 3, 0, 0, reply, &count, '\r', 15, 100000);
  const size_t upsBytes = b.ups.written().size();
  const size_t upsPurges = b.ups.purgeTimes().size();
  std::future<int> call = std::async(
      std::launch::async, [&] { return pageUser(b.slot, b.fake.clock, 1, "atdt5550101", "42"); });
  const bool finished = call.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  hold.finish();
  EXPECT_TRUE(finished) << "the page waited for the UPS port's lock";
  EXPECT_EQ(call.get(), 1);
  EXPECT_EQ(b.modemLines().size(), 4u);
  EXPECT_EQ(b.ups.written().size(), upsBytes);
  EXPECT_EQ(b.ups.purgeTimes().size(), upsPurges);
}

}  // namespace
}  // namespace orvik
