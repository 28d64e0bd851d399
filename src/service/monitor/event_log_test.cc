#include "service/monitor/event_log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <sstream>
#include <thread>

#include "service/monitor/monitor_test_support.h"

namespace orvik {
namespace {

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end + 2 - start));
  }
  return lines;
}

class EventLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // 2023-11-14 22:13:20 UTC, written in a zone one hour east.
    fake.clock.setCalendarSeconds(1'700'000'000);
    fake.clock.setUtcOffsetSeconds(3600);
    test.record().EvtFileLen = 32000;
    test.record().DataFileLen = 32000;
    test.record().dataLogEnable = 1;
  }

  ScratchFolder folder;
  FakePlatform fake;
  TestRecord test{folder};
  EventLog log{test.record(), fake.clock, fake.files, test.files.logs};
};

TEST_F(EventLogTest, EventLinesCarryNumberLocalTimeAndPaddedText) {
  log.appendEventLine(1, "Power failure");
  fake.clock.advanceMs(61'000);
  log.appendEventLine(101, "Power restore");
  log.appendEventLine(24, "");
  log.appendEventLine(7, std::string(40, 'x'));
  log.appendEventLine(23, "A text of forty-five characters, not cut off");

  const std::vector<std::string> lines = splitLines(folder.read("kestrel.log"));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "001  11/14/2023  23:13:20  [Power failure                           ]\r\n");
  EXPECT_EQ(lines[1], "101  11/14/2023  23:14:21  [Power restore                           ]\r\n");
  EXPECT_EQ(lines[2], "024  11/14/2023  23:14:21  [                                        ]\r\n");
  EXPECT_EQ(lines[3], "007  11/14/2023  23:14:21  [" + std::string(40, 'x') + "]\r\n");
  EXPECT_EQ(lines[4],
            "023  11/14/2023  23:14:21  [A text of forty-five characters, not cut off]\r\n");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(lines[i].size(), 71u);
}

TEST_F(EventLogTest, DataLinesClampEveryValueToItsField) {
  log.appendDataLine(230, 229, 272, 500, 499, 35, 27, 0x01000002u);
  log.appendDataLine(-1, -300, -5, -1, -999, -2, -40, 0);
  log.appendDataLine(1000, 5000, 10000, 1000, 60000, 1000, 1000, 0xffffffffu);
  log.appendDataLine(0, 0, 0, 5, 9, 0, 0, 1);

  const std::vector<std::string> lines = splitLines(folder.read("kestrel.dat"));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "11/14/2023,23:13:20,230,229,0272,50.0,49.9,035,027,0x01000002\r\n");
  EXPECT_EQ(lines[1], "11/14/2023,23:13:20,-02,-02,-020,-2.0,-2.0,-02,-02,0x00000000\r\n");
  EXPECT_EQ(lines[2], "11/14/2023,23:13:20,999,999,9999,99.9,99.9,999,999,0xffffffff\r\n");
  EXPECT_EQ(lines[3], "11/14/2023,23:13:20,000,000,0000,00.5,00.9,000,000,0x00000001\r\n");
  for (const std::string& line : lines) EXPECT_EQ(line.size(), 63u);

  test.record().dataLogEnable = 0;
  log.appendDataLine(230, 229, 272, 500, 499, 35, 27, 0);
  EXPECT_EQ(splitLines(folder.read("kestrel.dat")).size(), 4u);
}

TEST_F(EventLogTest, CutKeepsTheNewestWholeLinesAndLeavesNoTemporaryFile) {
  // 450 lines are 31950 bytes, below the limit; the 451st reaches it.
  std::vector<std::string> written;
  for (int i = 0; i < 451; ++i) {
    log.appendEventLine(i % 28, "line " + std::to_string(i));
    if (i == 449) {
      ASSERT_EQ(folder.read("kestrel.log").size(), 450u * 71);
    }
    fake.clock.advanceMs(1000);
  }
  const std::vector<std::string> lines = splitLines(folder.read("kestrel.log"));
  ASSERT_EQ(lines.size(), 225u);  // 15975 bytes: as many lines as fit in 16000
  EXPECT_NE(lines.front().find("[line 226 "), std::string::npos);
  EXPECT_NE(lines.back().find("[line 450 "), std::string::npos);
  EXPECT_FALSE(folder.exists("kestrel.tmp"));

  // The data log is cut the same way at its own limit and line length.
  test.record().DataFileLen = 63 * 10;
  for (int i = 0; i < 10; ++i) log.appendDataLine(i, 0, 0, 0, 0, 0, 0, 0);
  const std::vector<std::string> data = splitLines(folder.read("kestrel.dat"));
  ASSERT_EQ(data.size(), 5u);
  EXPECT_EQ(data.front().substr(20, 3), "005");
  EXPECT_FALSE(folder.exists("kestrel.tmp"));
}

TEST_F(EventLogTest, CutHappensAtTheLimitAndNotOneByteBelow) {
  test.record().EvtFileLen = 1000;
  folder.write("kestrel.log", std::string(1000 - 71 - 1, '.'));
  log.appendEventLine(1, "below");
  EXPECT_EQ(folder.read("kestrel.log").size(), 999u);
  log.appendEventLine(1, "reached");
  // keep = 1000 / 2 / 71 lines = 7 lines = 497 bytes
  const std::string kept = folder.read("kestrel.log");
  ASSERT_EQ(kept.size(), 497u);
  EXPECT_EQ(kept.substr(kept.size() - 71, 71).substr(27, 9), "[reached ");

  // A limit below two lines empties the log whenever it is reached.
  test.record().EvtFileLen = 100;
  log.appendEventLine(2, "emptied");
  EXPECT_EQ(folder.read("kestrel.log"), "");
  log.appendEventLine(2, "alone");
  EXPECT_EQ(folder.read("kestrel.log").size(), 71u);
}

TEST_F(EventLogTest, FailedCutLeavesTheLogWhole) {
  test.record().EvtFileLen = 142;
  log.appendEventLine(1, "one");
  // The temporary file cannot be created.
  std::filesystem::create_directory(folder.file("kestrel.tmp"));
  log.appendEventLine(2, "two");
  EXPECT_EQ(splitLines(folder.read("kestrel.log")).size(), 2u);
  std::filesystem::remove(folder.file("kestrel.tmp"));
  // The temporary file fills the disk.
  if (std::filesystem::exists("/dev/full")) {
    std::filesystem::create_symlink("/dev/full", folder.file("kestrel.tmp"));
    log.appendEventLine(3, "three");
    EXPECT_EQ(splitLines(folder.read("kestrel.log")).size(), 3u);
    EXPECT_FALSE(std::filesystem::is_symlink(folder.file("kestrel.tmp")));
  }
}

TEST_F(EventLogTest, ConcurrentWritersLoseNoEventLine) {
  test.record().EvtFileLen = 10'000'000;
  constexpr int kThreads = 8;
  constexpr int kLines = 200;
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([&, t] {
      for (int i = 0; i < kLines; ++i)
        log.appendEventLine(t, std::to_string(t) + "/" + std::to_string(i));
    });
  }
  for (std::thread& writer : writers) writer.join();

  const std::string text = folder.read("kestrel.log");
  EXPECT_EQ(text.size(), std::size_t{kThreads} * kLines * 71);
  std::set<std::string> seen;
  for (const std::string& line : splitLines(text)) {
    ASSERT_EQ(line.size(), 71u) << line;
    seen.insert(line.substr(28, line.find(' ', 28) - 28));
  }
  EXPECT_EQ(seen.size(), std::size_t{kThreads} * kLines);
}

// A POSIX rename replaces the log in one step. Windows has no such rename:
// a reader can find the name gone for a moment, and a reader holding the
// log open makes the cut fail (it is tried again at the next line).
TEST_F(EventLogTest, ReaderNeverFindsTheLogMissingWhileItIsCut) {
#ifdef _WIN32
  GTEST_SKIP() << "rename over an open file is not atomic on Windows";
#endif
  test.record().EvtFileLen = 71 * 4;
  log.appendEventLine(0, "first");
  std::atomic<bool> done{false};
  std::atomic<int> missing{0};
  std::thread reader([&] {
    const std::string path = folder.file("kestrel.log");
    while (!done) {
      std::FILE* file = std::fopen(path.c_str(), "rb");
      if (file == nullptr) {
        ++missing;
      } else {
        std::fclose(file);
      }
    }
  });
  for (int i = 0; i < 2000; ++i) log.appendEventLine(1, "again");
  done = true;
  reader.join();
  EXPECT_EQ(missing, 0);
}

}  // namespace
}  // namespace orvik
