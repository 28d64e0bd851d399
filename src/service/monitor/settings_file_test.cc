#include "service/monitor/settings_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "service/monitor/monitor_test_support.h"
#include "service/monitor/record_startup.h"

namespace orvik {
namespace {

// Where each block of the record lies in the file, as the pages and earlier
// versions of the service expect it.
struct Block {
  std::size_t recordOffset;
  std::size_t fileOffset;
  std::size_t length;
};
constexpr Block kFileLayout[] = {
    {256, 0, 64},       {320, 64, 64},        {766, 128, 2},      {1316, 130, 564},
    {1880, 694, 72128}, {74008, 72822, 1044}, {75052, 73866, 20}, {75072, 73886, 1082},
};
constexpr std::size_t kFileLength = 74968;

// Gives every byte of the record a value that depends on where it is, the
// path fields included: the file is the one named at construction.
void fillWithPattern(TestRecord& r, unsigned salt) {
  for (std::size_t i = 0; i < sizeof(StatusRecord); ++i)
    r.raw()[i] = static_cast<unsigned char>(i * 7 + salt);
}

class SettingsFileTest : public ::testing::Test {
 protected:
  ScratchFolder folder;
  FakePlatform fake;
  TestRecord test{folder};
  SettingsFile settings{test.record(), fake.platform(), test.files.configPath};
};

TEST_F(SettingsFileTest, SavedFileHoldsEachBlockAtItsFileOffset) {
  fillWithPattern(test, 3);
  ASSERT_EQ(settings.saveSettings(), 0);
  const std::string file = folder.read("kestrel.cfg");
  ASSERT_EQ(file.size(), kFileLength);
  for (const Block& block : kFileLayout) {
    EXPECT_EQ(
        std::memcmp(file.data() + block.fileOffset, test.raw() + block.recordOffset, block.length),
        0)
        << "block at file offset " << block.fileOffset;
  }
  EXPECT_FALSE(folder.exists("kestrel.cfg.new"));
  // Made durable under its temporary name before it replaced the old file.
  ASSERT_FALSE(fake.files.synced.empty());
  EXPECT_EQ(fake.files.synced.front(), "file " + test.files.configPath + ".new");
}

TEST_F(SettingsFileTest, FileCutShortAtEveryLengthLoadsItsLeadingBytesOnly) {
  fillWithPattern(test, 11);
  const std::vector<unsigned char> saved = test.bytes;
  // No file: nothing changes.
  EXPECT_EQ(settings.loadSettings(), -1);
  EXPECT_EQ(test.bytes, saved);
  ASSERT_EQ(settings.saveSettings(), 0);

  // Defaults to load over: a different pattern, with the run-time fields set
  // as every load sets them.
  fillWithPattern(test, 101);
  const std::vector<unsigned char> defaults = test.bytes;
  // The whole file: the saved blocks over the defaults.
  std::vector<unsigned char> expected = defaults;
  for (const Block& block : kFileLayout) {
    std::memcpy(expected.data() + block.recordOffset, saved.data() + block.recordOffset,
                block.length);
  }
  Platform platform = fake.platform();
  const RecordFacts facts = gatherRecordFacts(platform);

  // From the whole file down to nothing: each step takes one more byte away,
  // which must then keep its default.
  const std::string path = folder.file("kestrel.cfg");
  for (std::size_t length = kFileLength;; --length) {
    std::filesystem::resize_file(path, length);
    test.bytes = defaults;
    ASSERT_EQ(settings.loadSettings(), 0);
    // The run-time fields come from the loaded countdown: recompute them.
    std::vector<unsigned char> want = expected;
    applyRunTimeFields(*reinterpret_cast<StatusRecord*>(want.data()), facts);
    ASSERT_EQ(test.bytes, want) << "file of " << length << " bytes";
    if (length == 0) break;
    for (const Block& block : kFileLayout) {
      if (length - 1 >= block.fileOffset && length - 1 < block.fileOffset + block.length) {
        const std::size_t at = block.recordOffset + (length - 1 - block.fileOffset);
        expected[at] = defaults[at];
      }
    }
  }
}

TEST_F(SettingsFileTest, SaveThatCannotCompleteKeepsThePreviousFile) {
  fillWithPattern(test, 1);
  ASSERT_EQ(settings.saveSettings(), 0);
  const std::string before = folder.read("kestrel.cfg");

  // A full disk: the replacement's writes fail, at the latest when it is closed.
  if (std::filesystem::exists("/dev/full")) {
    std::filesystem::create_symlink("/dev/full", folder.file("kestrel.cfg.new"));
    fillWithPattern(test, 2);
    EXPECT_EQ(settings.saveSettings(), -1);
    EXPECT_EQ(folder.read("kestrel.cfg"), before);
    EXPECT_FALSE(std::filesystem::is_symlink(folder.file("kestrel.cfg.new")));
  }
  // The replacement cannot be created at all.
  std::filesystem::create_directory(folder.file("kestrel.cfg.new"));
  std::filesystem::create_directory(folder.file("kestrel.cfg.new/x"));
  EXPECT_EQ(settings.saveSettings(), -1);
  EXPECT_EQ(folder.read("kestrel.cfg"), before);
}

TEST_F(SettingsFileTest, ConcurrentSavesAllSucceedAndLeaveOneWholeImage) {
  std::vector<std::thread> savers;
  std::atomic<int> failures{0};
  for (int t = 0; t < 4; ++t) {
    savers.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i) {
        storeField(test.record().eventActionsEven[t].bnmDelay, i);
        if (settings.saveSettings() != 0) ++failures;
      }
    });
  }
  for (std::thread& saver : savers) saver.join();
  EXPECT_EQ(failures, 0);
  const std::string file = folder.read("kestrel.cfg");
  ASSERT_EQ(file.size(), kFileLength);
  // The last save wrote the final state of every field.
  for (int t = 0; t < 4; ++t) {
    int16_t delay;
    std::memcpy(&delay, file.data() + 694 + t * sizeof(EventAction) + 8, 2);
    EXPECT_EQ(delay, 49);
  }
}

}  // namespace
}  // namespace orvik
