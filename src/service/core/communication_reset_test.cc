#include "service/core/communication_reset.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "service/monitor/record_startup.h"

namespace orvik {
namespace {

struct Range {
  std::size_t offset;
  std::size_t size;
};

// The fields a port change returns to their start-up values, by offset in
// the record: the identity strings the UPS reports (manufacturer to agent
// version, then the serial number), measured values, test summary, and the
// value member of every control and configuration parameter. idName and
// attDevice (256 to 383) are the user's and must survive.
const Range kResetToStartup[] = {{0, 256},  {384, 94}, {766, 2},   {1032, 2}, {1052, 2},
                                 {1072, 4}, {1112, 2}, {1132, 2},  {1152, 2}, {1172, 2},
                                 {1192, 2}, {1212, 2}, {1232, 4},  {1236, 2}, {1256, 2},
                                 {1276, 2}, {1296, 2}, {74008, 64}};
constexpr std::size_t kAlarmFlagsOffset = 484;

TEST(CommunicationReset, OnlyWhatTheUpsReportedGoesBackAndAlarmFlagsBecomeZero) {
  auto startup = std::make_unique<StatusRecord>();
  applyUpsStartValues(*startup);

  // Every byte holds something no start-up value has.
  auto live = std::make_unique<StatusRecord>();
  std::memset(live.get(), 0x5A, sizeof *live);
  resetCommunicationState(*live);

  std::vector<bool> reset(sizeof(StatusRecord), false);
  const auto* got = reinterpret_cast<const unsigned char*>(live.get());
  const auto* want = reinterpret_cast<const unsigned char*>(startup.get());
  for (const Range& range : kResetToStartup) {
    for (std::size_t i = range.offset; i < range.offset + range.size; ++i) {
      reset[i] = true;
      ASSERT_EQ(got[i], want[i]) << "byte " << i << " not back at its start-up value";
    }
  }
  for (std::size_t i = kAlarmFlagsOffset; i < kAlarmFlagsOffset + 4; ++i) {
    reset[i] = true;
    ASSERT_EQ(got[i], 0) << "alarmFlags byte " << i;
  }
  for (std::size_t i = 0; i < sizeof(StatusRecord); ++i) {
    if (!reset[i]) {
      ASSERT_EQ(got[i], 0x5A) << "byte " << i << " changed by the reset";
    }
  }
}

}  // namespace
}  // namespace orvik
