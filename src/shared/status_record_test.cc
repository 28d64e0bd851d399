#include "shared/status_record.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/fake_platform.h"
#include "shared/persisted_slices.h"
#include "shared/record_access.h"
#include "shared/record_mapping.h"

namespace orvik {
namespace {

std::ptrdiff_t offsetIn(StatusRecord& record, const void* field) {
  return static_cast<const char*>(field) - reinterpret_cast<const char*>(&record);
}

TEST(StatusRecord, EventActionsAreAddressedByEventNumberAndByPageCode) {
  auto record = std::make_unique<StatusRecord>();
  StatusRecord& r = *record;
  EXPECT_EQ(offsetIn(r, eventActionForCode(r, 3)), 39232);
  EXPECT_EQ(offsetIn(r, eventActionForCode(r, 2)), 3168);
  EXPECT_EQ(offsetIn(r, eventActionForCode(r, 55)), 37944 + 27 * 1288);
  EXPECT_EQ(eventActionForCode(r, 56), nullptr);
  EXPECT_EQ(eventActionForCode(r, -1), nullptr);

  EXPECT_EQ(offsetIn(r, eventActionForEvent(r, 1)), 3168);
  EXPECT_EQ(offsetIn(r, eventActionForEvent(r, 101)), 37944 + 1288);
  EXPECT_EQ(eventActionForEvent(r, 127), eventActionForCode(r, 55));
  EXPECT_EQ(eventActionForEvent(r, 28), nullptr);
  EXPECT_EQ(eventActionForEvent(r, 99), nullptr);
  EXPECT_EQ(eventActionForEvent(r, 128), nullptr);
}

TEST(StatusRecord, LastOutletEndsRightBeforeShutDepend) {
  auto record = std::make_unique<StatusRecord>();
  EXPECT_EQ(offsetIn(*record, &record->outlets[7]), 74700);
  EXPECT_EQ(offsetIn(*record, std::end(record->outlets[7].outletShutdownDepend)), 74788);
}

TEST(PersistedSlices, FileOffsetsFollowFromTheSliceTable) {
  const std::size_t expected[] = {0, 64, 128, 130, 694, 72822, 73866, 73886};
  std::size_t fileOffset = 0;
  for (std::size_t i = 0; i < kPersistedSlices.size(); ++i) {
    EXPECT_EQ(fileOffset, expected[i]) << "slice " << i;
    fileOffset += kPersistedSlices[i].size;
  }
  EXPECT_EQ(fileOffset, 74968u);
}

TEST(RecordAccess, TextIsCutToTheFieldLessOneAndTerminated) {
  char field[8];
  std::memset(field, 'x', sizeof field);
  setText(field, "abcdefghijk");
  EXPECT_EQ(std::string(field, 8), std::string("abcdefg\0", 8));
  setText(field, "ab");  // no stale tail after a shorter text
  EXPECT_EQ(std::string(field, 8), std::string("ab\0\0\0\0\0\0", 8));
  setText(field, nullptr);
  EXPECT_EQ(field[0], '\0');

  char unterminated[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(readText(unterminated), "abcd");  // never reads past the field
}

TEST(RecordAccess, FlagBitsChangeOneAtATime) {
  uint32_t flags = 0x01000000;
  setFlagBit(flags, 1, true);
  setFlagBit(flags, 24, false);
  setFlagBit(flags, 1, true);
  EXPECT_EQ(flags, 0x2u);
  storeField(flags, 0xFFFFFFFFu);
  EXPECT_EQ(loadField(flags), 0xFFFFFFFFu);
}

TEST(RecordAccess, EveryChangeOfTheFlagsRaisesTheRegisteredWakeupAndOnlyAChange) {
  Wakeup monitor;
  Wakeup other;
  setAlarmWakeup(&monitor);
  uint32_t flags = 0x01000000;
  setFlagBit(flags, 24, true);
  setFlagBit(flags, 3, false);
  storeFlags(flags, 0x01000000);
  EXPECT_FALSE(monitor.take()) << "rewriting the same bits wakes nobody";
  setFlagBit(flags, 1, true);
  EXPECT_TRUE(monitor.take());
  setFlagBit(flags, 1, false);
  EXPECT_TRUE(monitor.take());
  storeFlags(flags, 0);
  EXPECT_TRUE(monitor.take());
  EXPECT_EQ(flags, 0u);

  clearAlarmWakeup(&other);  // not the registered one: stays registered
  setFlagBit(flags, 2, true);
  EXPECT_TRUE(monitor.take());
  clearAlarmWakeup(&monitor);
  setFlagBit(flags, 2, false);
  EXPECT_FALSE(monitor.take());
}

TEST(RecordMapping, SecondOpenSeesTheExistingRecordUnchanged) {
  FakeSharedMemory memory;
  bool existed = true;
  auto service = RecordMapping::createOrOpen(memory, &existed);
  ASSERT_TRUE(service);
  EXPECT_FALSE(existed);
  EXPECT_EQ(service->record().alarmFlags, 0u);  // a new block is all zero
  setText(service->record().idName, "Rack 4");
  service->record().systemDelay = 45;

  auto page = RecordMapping::createOrOpen(memory, &existed);
  ASSERT_TRUE(page);
  EXPECT_TRUE(existed);
  EXPECT_STREQ(page->record().idName, "Rack 4");
  EXPECT_EQ(page->record().systemDelay, 45);
}

TEST(RecordMapping, FailsWhenTheBlockCanBeNeitherCreatedNorOpened) {
  FakeSharedMemory memory;
  memory.failCreate = true;
  EXPECT_FALSE(RecordMapping::createOrOpen(memory));
}

TEST(RecordMapping, RefusesABlockTooSmallForTheRecord) {
  FakeSharedMemory memory;
  bool existed = false;
  auto small = memory.createOrOpen(kRecordName, 1024, &existed);
  EXPECT_FALSE(RecordMapping::createOrOpen(memory));
}

}  // namespace
}  // namespace orvik
