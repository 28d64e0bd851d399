// The simulator against the rules a host applies: each protocol number must
// be identified as itself by the probe sequence, and every command the host
// polls for that protocol must get a reply that passes the host's checks.
#include <gtest/gtest.h>

#include "fake_host.h"
#include "q1_responder.h"
#include "responder.h"

namespace orvik::upssim {
namespace {

// The host's probe of candidates 1 to 9, in order; 0 when none answers.
int identify(FakeHost& host) {
  if (host.exchange("\x01", 16).size() == 16) return 1;
  std::string oi = host.exchange("OI\r", 99);
  if (!oi.empty() && oi[0] == '#') return 3;
  std::string q1 = host.exchange("Q1\r", 99);
  if (!q1.empty()) return q1.size() <= 45 ? 2 : 4;
  auto is = [&host](size_t maxLength) {
    std::string reply = host.exchange("IS\r\n", maxLength);
    size_t cr = reply.find('\r');
    return cr == std::string::npos ? reply : reply.substr(0, cr + 1);
  };
  auto has = [](const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
  };
  if (has(is(7), "T")) return 5;
  if (has(is(8), "B2")) return 6;
  if (has(is(7), "C")) return 7;
  if (has(is(8), "B1")) return 8;
  std::string nine = is(8);
  if (has(nine, "B") && !has(nine, "B1") && !has(nine, "B2")) return 9;
  return 0;
}

TEST(HostContract, EveryProtocolIsIdentifiedAsItselfAgainAndAgain) {
  for (int protocol = 1; protocol <= 9; ++protocol) {
    Ups ups;
    auto responder = makeResponder(protocol, ups);
    FakeHost host{*responder};
    EXPECT_EQ(identify(host), protocol) << "first search";
    // After a link loss the host searches again on the same line.
    EXPECT_EQ(identify(host), protocol) << "second search";
  }
}

TEST(HostContract, ProtocolStillIdentifiedDuringATestAndOnBatteryWithAlarms) {
  for (int protocol = 1; protocol <= 9; ++protocol) {
    for (bool onBattery : {false, true}) {
      Ups ups;
      if (onBattery) {
        ups.state().overloadForced = true;
        ups.state().batteryReplace = true;
        ups.setMains(false, 0);
      } else {
        ups.startTest(0, 600);
      }
      auto responder = makeResponder(protocol, ups);
      FakeHost host{*responder};
      EXPECT_EQ(identify(host), protocol) << (onBattery ? "on battery" : "testing");
    }
  }
}

struct Poll {
  const char* command;
  size_t maxLength;
  char terminator;  // 0: none
  const char* mustContain;
  const char* endMarker;
};

// The reply checks of a host: something arrived, the must-contain text is
// there, the end marker lies within its length + 1 last bytes, and without
// an end marker the length is exact.
void expectAccepted(FakeHost& host, const Poll& poll) {
  std::string reply = host.send(poll.command);
  if (poll.terminator) {
    size_t end = reply.find(poll.terminator);
    if (end != std::string::npos) reply = reply.substr(0, end + 1);
  }
  reply = reply.substr(0, poll.maxLength);
  SCOPED_TRACE(std::string("command ") + poll.command + " reply " + reply);
  ASSERT_FALSE(reply.empty());
  EXPECT_NE(reply.find(poll.mustContain), std::string::npos);
  std::string end = poll.endMarker;
  if (end.empty()) {
    EXPECT_EQ(reply.size(), poll.maxLength);
  } else {
    size_t tail = std::min(reply.size(), end.size() + 1);
    EXPECT_NE(reply.substr(reply.size() - tail).find(end), std::string::npos);
  }
}

void expectAllAccepted(int protocol, const std::vector<Poll>& polls) {
  // Default state, then a stressed one: every value at an extreme.
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE("protocol " + std::to_string(protocol) + " round " + std::to_string(round));
    Ups ups;
    if (round == 1) {
      UpsState& s = ups.state();
      s.loadPercent = 255;
      s.temperature = -20;
      s.inputVoltage = 1234;
      s.batteryNominalDeciVolts = 2400;
      s.outletCount = 8;
      s.model = "A-MODEL-NAME-LONGER-THAN-ANY-FIELD";
      ups.setMains(false, 0);
    }
    auto responder = makeResponder(protocol, ups);
    FakeHost host{*responder};
    for (const Poll& poll : polls) expectAccepted(host, poll);
  }
}

TEST(HostContract, BinaryStatusFrameIsAccepted) { expectAllAccepted(1, {{"\x01", 16, 0, "", ""}}); }

TEST(HostContract, Q1PollsAreAccepted) {
  std::vector<Poll> common = {
      {"Q1\r", 48, '\r', "(", "\r"}, {"I\r", 40, '\r', "#", "\r"}, {"F\r", 22, '\r', "#", "\r"}};
  expectAllAccepted(2, common);
  common.push_back({"OI\r", 99, '\r', "", "\r"});
  expectAllAccepted(3, common);
  common[0].maxLength = 56;
  expectAllAccepted(4, common);
}

TEST(HostContract, PlainQ1UnitIsProtocol4AndItsRepliesAreAccepted) {
  for (bool onBattery : {false, true}) {
    Ups ups(plainQ1State());
    if (onBattery) ups.setMains(false, 0);
    auto responder = makeResponder(4, ups, true);
    FakeHost host{*responder};
    SCOPED_TRACE(onBattery ? "on battery" : "on mains");
    EXPECT_EQ(identify(host), 4);
    EXPECT_EQ(identify(host), 4);
    for (const Poll& poll : {Poll{"Q1\r", 56, '\r', "(", "\r"}, Poll{"I\r", 40, '\r', "#", "\r"},
                             Poll{"F\r", 22, '\r', "#", "\r"}}) {
      expectAccepted(host, poll);
    }
  }
}

TEST(HostContract, TwoLetterPollsAreAcceptedByEveryModel) {
  std::vector<Poll> polls;
  const std::pair<const char*, size_t> commands[] = {
      {"BS", 4},  {"BV", 99}, {"BT", 99}, {"NF", 5},  {"NV", 5},  {"OF", 5},  {"OV", 6},
      {"OL", 5},  {"OS", 4},  {"AG", 4},  {"TR", 99}, {"IM", 99}, {"IO", 99}, {"IS", 99},
      {"IZ", 99}, {"FV", 5},  {"FF", 5},  {"FO", 5},  {"FR", 40}, {"FA", 99}, {"FP", 99},
      {"ON", 4},  {"BD", 7},  {"CA", 99}, {"FU", 4},  {"FL", 5},  {"FH", 5},  {"FT", 5},
      {"FB", 4},  {"OI1", 3}, {"OI2", 3}, {"OM1", 3}, {"OM2", 3}, {"OA1", 4}, {"OA2", 4},
      {"OD1", 3}, {"OD2", 3}};
  std::vector<std::string> texts;
  for (const auto& [command, length] : commands) texts.push_back(std::string(command) + "\r\n");
  for (size_t i = 0; i < texts.size(); ++i) {
    polls.push_back({texts[i].c_str(), commands[i].second, '\n', "", "\r"});
  }
  for (int protocol = 5; protocol <= 9; ++protocol) expectAllAccepted(protocol, polls);
}

}  // namespace
}  // namespace orvik::upssim
