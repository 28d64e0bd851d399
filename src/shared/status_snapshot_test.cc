#include "shared/status_snapshot.h"

#include <gtest/gtest.h>

#include <cstring>

#include "shared/record_access.h"
#include "shared/service_record_test_support.h"

namespace orvik {
namespace {

TEST(RecordProblem, FindsWhatNoServiceLeavesButToleratesAStartingOne) {
  struct Case {
    const char* what;
    void (*damage)(StatusRecord&);
    const char* problem;
  };
  const Case cases[] = {
      {"intact", [](StatusRecord&) {}, ""},
      {"paths not filled in yet",
       [](StatusRecord& r) { setText(r.eventLogPath, ""), setText(r.dataLogPath, ""); }, ""},
      {"unterminated host name",
       [](StatusRecord& r) { std::memset(r.hostName, 'h', sizeof r.hostName); },
       "text field hostName has no end"},
      {"another file as event log", [](StatusRecord& r) { setText(r.eventLogPath, "/etc/shadow"); },
       "eventLogPath names no event log"},
      {"another file as data log", [](StatusRecord& r) { setText(r.dataLogPath, "kestrel.log"); },
       "dataLogPath names no data log"},
  };
  for (const Case& c : cases) {
    auto r = serviceRecord();
    c.damage(*r);
    EXPECT_EQ(recordProblem(*r), c.problem) << c.what;
  }
}

TEST(StatusSnapshot, LinkIsWaitingUntilSomethingIsDecodedAndLostWithBit19) {
  auto r = serviceRecord();
  EXPECT_EQ(takeSnapshot(*r).link, LinkState::kUp);
  setFlagBit(r->alarmFlags, 19, true);
  EXPECT_EQ(takeSnapshot(*r).link, LinkState::kLost);
  auto fresh = serviceRecord();
  setText(fresh->manufacturer, "");
  setText(fresh->model, "");
  fresh->inputVoltage[0] = fresh->outputVoltage[0] = fresh->batteryVoltage = kNotAvailable;
  fresh->estChargeRemaining = kNotAvailable;
  EXPECT_EQ(takeSnapshot(*fresh).link, LinkState::kWaiting);
}

}  // namespace
}  // namespace orvik
