// The parts of the shared status record that persist in "kestrel.cfg": the
// file is these eight slices, byte for byte, in this order, without header.
#pragma once

#include <array>
#include <cstddef>

namespace orvik {

struct RecordSlice {
  std::size_t offset;
  std::size_t size;
};

inline constexpr std::array<RecordSlice, 8> kPersistedSlices = {{
    {256, 64},      // idName
    {320, 64},      // attDevice
    {766, 2},       // testResultsSummary
    {1316, 564},    // osName .. powerFailCountdown, with the reserved blocks
    {1880, 72128},  // the event action records, even then odd
    {74008, 1044},  // serialNumber .. upsDelay
    {75052, 20},    // the log settings
    {75072, 1082},  // the schedule
}};

inline constexpr std::size_t persistedSize() {
  std::size_t total = 0;
  for (const RecordSlice& slice : kPersistedSlices) total += slice.size;
  return total;
}
static_assert(persistedSize() == 74968);

}  // namespace orvik
