#include "service/link/candidate_probe.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/fake_clock.h"
#include "platform/fake_serial_port.h"
#include "service/link/serial_link.h"

namespace orvik {
namespace {

std::string binaryFrame(char modelByte, int length = kBinaryFrameLength) {
  std::string frame(length, '\0');
  frame[0] = 25;
  if (length > 11) frame[11] = modelByte;
  return frame;
}

// The two-letter models are told apart by what their "IS" reply holds
// within the 7 or 8 bytes read for the candidate; the binary unit's variant
// by the model byte of its frame.
TEST(CandidateProbe, VersionTextCountsOnlyWithinTheCandidatesLengthAndTheModelByteSetsTheVariant) {
  struct Case {
    int candidate;
    std::string reply;
    bool found;
    int variant;  // binary only
  } cases[] = {
      {5, "T2.10\r", true, 0},
      {5, "012345T\r", true, 0},
      {5, "0123456T\r", false, 0},
      {5, "B2.05\r", false, 0},
      {5, "", false, 0},
      {6, "012345B2", true, 0},
      {6, "0123456B2", false, 0},
      {7, "012345C\r", true, 0},
      {7, "0123456C\r", false, 0},
      {8, "B1.07\r", true, 0},
      {8, "012345B1", true, 0},
      {8, "0123456B1", false, 0},
      {8, "B2.05\r", false, 0},
      {9, "B3.01\r", true, 0},
      {9, "0123456B", true, 0},
      {9, "01234567B", false, 0},
      {9, "B1.07\r", false, 0},
      {9, "B2.05\r", false, 0},
      {9, "0123456B2", true, 0},  // the "2" lies past the bytes read
      {1, binaryFrame('K'), true, 2},
      {1, binaryFrame('O'), true, 1},
      {1, binaryFrame('K', kBinaryFrameLength - 1), false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.candidate) + " " + testing::PrintToString(c.reply));
    FakeClock clock;
    FakeSerialPorts ports{clock};
    FakeSerialDevice& ups = ports.device("COM1");
    SerialLink link{clock, ports};
    ASSERT_EQ(link.openPort(kUpsSlot, 0), 0);
    const std::string command = c.candidate == 1 ? "\x01" : "IS\r\n";
    ups.answer(command, {{5, c.reply}});
    int protocol = c.candidate;
    ProbeSettings settings;
    int family = 0;
    prepareCandidate(protocol, settings, family);
    int variant = 0;
    EXPECT_EQ(probeCandidate(link, settings, protocol, variant), c.found);
    EXPECT_EQ(protocol, c.candidate);
    EXPECT_EQ(variant, c.variant);
    EXPECT_EQ(ups.writtenText(), command);
  }
}

}  // namespace
}  // namespace orvik
