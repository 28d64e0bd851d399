#include "hayes_modem.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace orvik::modemsim {
namespace {

struct Step {
  int64_t atMs;
  std::string bytes;
};

// A modem whose log goes to a temporary file with a fixed clock.
struct ModemFixture {
  ModemFixture() { log.addSink(file); }
  ~ModemFixture() { std::fclose(file); }

  // Feeds the steps at their times and returns everything sent up to endMs.
  std::string run(const std::vector<Step>& steps, int64_t endMs) {
    std::string out;
    for (const Step& s : steps) {
      advance(s.atMs, &out);
      modem.receive(s.bytes, s.atMs);
      out += modem.takeOutput(s.atMs);
    }
    advance(endMs, &out);
    return out;
  }
  // Time passes up to toMs, stopping at every deadline on the way.
  void advance(int64_t toMs, std::string* out) {
    for (int64_t next = modem.nextDeadlineMs(); next >= 0 && next <= toMs;
         next = modem.nextDeadlineMs()) {
      modem.tick(next);
      *out += modem.takeOutput(next);
      if (modem.nextDeadlineMs() == next) break;  // nothing more due now
    }
    modem.tick(toMs);
    *out += modem.takeOutput(toMs);
  }

  std::vector<std::string> logLines(const std::string& kind) {
    std::fflush(file);
    std::rewind(file);
    std::vector<std::string> lines;
    char buffer[1024];
    const std::string marker = "Z " + kind + " ";
    while (std::fgets(buffer, sizeof buffer, file)) {
      std::string line(buffer);
      const size_t at = line.find(marker);
      if (at != std::string::npos) lines.push_back(line.substr(at + marker.size()));
    }
    return lines;
  }

  std::FILE* file = std::tmpfile();
  upssim::SimLog log{[] { return upssim::LogTime{5123042, 1714558830123}; }};
  HayesModem modem{log};
};

// The service's paging sequence: reset, dial, escape, hang up.
const std::vector<Step> kPage = {
    {0, "ATZ\r"}, {2800, "ATDT5550101,,42\r"}, {19100, "+++\r"}, {20900, "ATH0\r"}};

TEST(HayesModem, AnswersThePagingSequenceAsAModemWould) {
  struct Case {
    const char* setting;  // a control command first, or ""
    std::vector<Step> steps;
    std::string sent;
    const char* state;  // the status line's state at the end
  };
  // clang-format off
  const Case cases[] = {
      {"", kPage,
       "ATZ\r\r\nOK\r\n"
       "ATDT5550101,,42\r\r\nCONNECT 2400\r\n"
       "\r\nOK\r\n\r"  // "+++" is not echoed online; its CR is, in command mode
       "ATH0\r\r\nOK\r\n",
       "on-hook"},
      {"dial-result busy", kPage,
       "ATZ\r\r\nOK\r\n"
       "ATDT5550101,,42\r\r\nBUSY\r\n"
       "+++\r"  // a line without AT is not answered
       "ATH0\r\r\nOK\r\n",
       "on-hook"},
      {"dial-result no-carrier", {{0, "ATE0\r"}, {10, "atdt1\r"}},
       "ATE0\r\r\nOK\r\n\r\nNO CARRIER\r\n", "on-hook"},
      {"", {{0, "ATE0\r"}, {10, "ATDT5550101;\r"}},  // ";" returns to command mode
       "ATE0\r\r\nOK\r\n\r\nOK\r\n", "off-hook"},
      {"", {{0, "ATE0\r"}, {10, "ATDT1\r"}, {500, "x"}},  // a byte aborts the dial
       "ATE0\r\r\nOK\r\n\r\nNO CARRIER\r\n", "on-hook"},
      {"", {{0, "ATE0 V1 &F S0=0\r\n"}, {10, "AT#\r"}, {20, "hello\r"}, {30, std::string(300, 'A')}},
       "ATE0 V1 &F S0=0\r\r\nOK\r\n\r\nERROR\r\n\r\nERROR\r\n", "on-hook"},
      {"silent on", kPage, "", "on-hook"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setting + std::string(" / ") + c.steps.back().bytes);
    ModemFixture f;
    if (c.setting[0] != '\0') {
      EXPECT_EQ(f.modem.control(c.setting).substr(0, 2), "ok");
    }
    EXPECT_EQ(f.run(c.steps, 30000), c.sent);
    const std::string status = f.modem.control("status");
    EXPECT_NE(status.find(std::string("state=") + c.state + " "), std::string::npos) << status;
  }
}

TEST(HayesModem, LogsEachLineWhenItsCarriageReturnArrives) {
  ModemFixture f;
  std::vector<Step> split = kPage;
  split[1] = {2800, "ATDT5550"};
  split.insert(split.begin() + 2, {2801, "101,,42\r"});
  f.run(split, 30000);
  EXPECT_EQ(f.logLines("rx"),
            (std::vector<std::string>{"\"ATZ\\r\" command\n", "\"ATDT5550101,,42\\r\" command\n",
                                      "\"+++\\r\" escape\n", "\"ATH0\\r\" command\n"}));
  EXPECT_EQ(f.logLines("state"),
            (std::vector<std::string>{"reset\n", "dialling \"T5550101,,42\"\n", "connected\n",
                                      "command mode (escape)\n", "on hook\n"}));
  EXPECT_EQ(f.logLines("tx").size(), 4u);  // OK, CONNECT, OK, OK
}

TEST(HayesModem, StreamFloodsTheLineUntilTurnedOff) {
  ModemFixture stream;
  stream.modem.control("stream on");
  const std::string flood = stream.run({{0, "ATZ\r"}}, 1000);
  // 8 bytes every 10 ms, on top of the echo and the answer.
  EXPECT_GE(flood.size(), 100u * 8);
  EXPECT_LE(flood.size(), 102u * 8 + 10);
  stream.modem.control("stream off");
  EXPECT_EQ(stream.run({}, 2000), "");
}

}  // namespace
}  // namespace orvik::modemsim
