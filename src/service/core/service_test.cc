#include "service/core/service_test_support.h"
#include "service/core/service.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>

#include "platform/native_backends.h"
#include "service/actions/message_catalogue.h"
#include "service/monitor/monitor_test_support.h"
#include "shared/control_datagram.h"

namespace orvik {
namespace {

template <class T>
T at(const StatusRecord& record, std::size_t offset) {
  T value;
  std::memcpy(&value, reinterpret_cast<const char*>(&record) + offset, sizeof value);
  return value;
}

std::string textAt(const StatusRecord& record, std::size_t offset) {
  return reinterpret_cast<const char*>(&record) + offset;
}

void writeMessageFiles(const ScratchFolder& folder) {
  writeMessageFiles(folder,
                    "<24><Service started><><>\n<124><Service stopped><><>\n"
                    "<1><Power failure><><>\n<101><Power restore><><>\n"
                    "<302><The status record could not be set up.><><>\n");
}

class ServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    freeCatalogue();
    fake.system.programPathValue = folder.file("upskeeper");
  }
  void TearDown() override { freeCatalogue(); }

  bool logged(const char* number) {
    for (const std::string& line : loggedLines()) {
      if (line.compare(0, 3, number) == 0) return true;
    }
    return false;
  }
  std::vector<std::string> loggedLines() {
    std::vector<std::string> lines;
    const std::string text = folder.read("kestrel.log");
    for (std::size_t at = 0; at + 71 <= text.size(); at += 71) lines.push_back(text.substr(at, 71));
    return lines;
  }

  ScratchFolder folder;
  FakePlatform fake;
  Service service{fake.platform()};
};

TEST_F(ServiceTest, StartWithoutMessageFileShowsOneBoxAndSetsUpNothing) {
  EXPECT_EQ(service.serviceStart(fake.system.programPathValue), 0);
  EXPECT_EQ(fake.ui.boxes,
            std::vector<std::string>{"Power Device Service: Error finding message file."});
  EXPECT_FALSE(fake.sharedMemory.exists(kRecordName));
}

TEST_F(ServiceTest, RecordThatCannotBeSetUpIsReportedWithTheCatalogueText) {
  writeMessageFiles(folder);
  fake.sharedMemory.failCreate = true;
  EXPECT_EQ(service.serviceStart(fake.system.programPathValue), 0);
  EXPECT_EQ(fake.ui.boxes, std::vector<std::string>{
                               "Power Device Service: The status record could not be set up."});
}

TEST_F(ServiceTest, MonitorTaskLogsServiceStartedAndStopLogsServiceStopped) {
  writeMessageFiles(folder);
  ASSERT_EQ(service.serviceStart(fake.system.programPathValue), 1);
  EXPECT_TRUE(fake.ui.boxes.empty());
  EXPECT_EQ(readText(service.record().configPath), folder.file("kestrel.cfg"));

  runStepOnce(service.tasks()[kMonitorTask]);
  ASSERT_EQ(loggedLines().size(), 1u);
  EXPECT_EQ(loggedLines()[0].substr(0, 3), "024");
  EXPECT_EQ(loggedLines()[0].substr(27, 17), "[Service started ");

  service.serviceStop();
  ASSERT_EQ(loggedLines().size(), 2u);
  EXPECT_EQ(loggedLines()[1].substr(0, 3), "124");
  EXPECT_EQ(loggedLines()[1].substr(27, 17), "[Service stopped ");
  EXPECT_FALSE(folder.exists("kestrel.cfg"));  // a stop saves nothing
}

TEST_F(ServiceTest, StartFillsTheRecordWithItsStartUpValues) {
  fake.clock.advanceMs(12345);
  fake.system.hostNameValue = "";  // the computer name stands in
  fake.system.computerNameValue = "AVERYLONGCOMPUTERNAME";
  writeMessageFiles(folder);
  ASSERT_EQ(service.serviceStart(fake.system.programPathValue), 1);
  EXPECT_EQ(service.programDirectory(), folder.file(""));
  const StatusRecord& r = service.record();

  EXPECT_EQ(textAt(r, 192), "1.0");
  EXPECT_EQ(textAt(r, 256), "UPS");
  EXPECT_EQ(textAt(r, 320), "NA");
  EXPECT_EQ(at<uint32_t>(r, 484), 0x01000000u);
  EXPECT_EQ(at<int16_t>(r, 764), 1);
  EXPECT_EQ(at<int16_t>(r, 766), 6);
  for (std::size_t offset : {384, 388, 390, 392, 394, 396, 402, 408, 420, 432, 450, 456, 460, 472,
                             1152, 1172, 1192, 1212, 1232, 1234, 1236, 1256, 1276, 1296}) {
    EXPECT_EQ(at<int16_t>(r, offset), -2) << "offset " << offset;
  }
  EXPECT_EQ(at<int16_t>(r, 400), 1);
  EXPECT_EQ(at<int16_t>(r, 426), 3);
  EXPECT_EQ(at<int16_t>(r, 458), 0);
  EXPECT_EQ(at<int16_t>(r, 1032), 1);
  EXPECT_EQ(at<int16_t>(r, 1052), -1);
  EXPECT_EQ(at<int32_t>(r, 1072), -1);
  EXPECT_EQ(at<int16_t>(r, 1112), -1);
  EXPECT_EQ(at<int16_t>(r, 1132), 2);
  EXPECT_EQ(textAt(r, 1316), "Linux 6.1.0");
  EXPECT_EQ(at<int32_t>(r, 1348), 1'700'000'012);
  EXPECT_EQ(at<uint16_t>(r, 1352), 1);
  EXPECT_EQ(at<uint16_t>(r, 1354), 71);
  EXPECT_EQ(at<int32_t>(r, 1356), 0);
  EXPECT_EQ(at<int32_t>(r, 1616), 1);
  EXPECT_EQ(at<int32_t>(r, 75044), 1);
  EXPECT_EQ(at<int16_t>(r, 75048), 30);
  EXPECT_EQ(at<int16_t>(r, 75050), 60);
  EXPECT_EQ(at<int32_t>(r, 75052), 32000);
  EXPECT_EQ(at<int32_t>(r, 75056), 32000);
  EXPECT_EQ(at<int16_t>(r, 75060), 60);
  const int16_t logWords[5] = {at<int16_t>(r, 75062), at<int16_t>(r, 75064), at<int16_t>(r, 75066),
                               at<int16_t>(r, 75068), at<int16_t>(r, 75070)};
  EXPECT_EQ(std::vector<int16_t>(logWords, logWords + 5), (std::vector<int16_t>{0, 0, 600, 5, 1}));
  EXPECT_EQ(at<int32_t>(r, 76156), 1234);
  EXPECT_EQ(textAt(r, 76416), "AVERYLONGCOMPUT");
  EXPECT_EQ(textAt(r, 76160), "AVERYLONGCOMPUT");
  EXPECT_EQ(at<int16_t>(r, 77712), 60);
  EXPECT_TRUE(fake.ui.boxes.empty());
}

TEST_F(ServiceTest, StartOverwritesABlockLeftByAnotherProgram) {
  writeMessageFiles(folder);
  bool existed = false;
  auto stale = fake.sharedMemory.createOrOpen(kRecordName, kRecordSize, &existed);
  std::memset(stale->data(), 0x55, kRecordSize);
  ASSERT_EQ(service.serviceStart(fake.system.programPathValue), 1);
  EXPECT_EQ(service.record().alarmFlags, 0x01000000u);
  EXPECT_EQ(at<uint8_t>(service.record(), 500), 0);  // reserved bytes zeroed
}

TEST_F(ServiceTest, ConsumerFamilyRegistersAsService) {
  writeMessageFiles(folder);
  fake.system.version = {OsVersion::kConsumer, 4, 10};
  ASSERT_EQ(service.serviceStart(fake.system.programPathValue), 1);
  EXPECT_EQ(fake.system.registrations, 1);
}

TEST_F(ServiceTest, StopClearsTheRunningBitStopsPollingAndRemovesTheName) {
  writeMessageFiles(folder);
  ASSERT_EQ(service.serviceStart(fake.system.programPathValue), 1);
  service.startTasks();
  service.serviceStop();
  EXPECT_EQ(service.record().alarmFlags & (1u << 24), 0u);
  EXPECT_EQ(service.pollingStopped, 1);
  EXPECT_FALSE(fake.sharedMemory.exists(kRecordName));
  // On the fake clock the stop's bound can pass before a thread has ended;
  // let them end before the service goes away.
  for (int id = 0; id < kTaskCount; ++id) {
    while (service.tasks()[id].finished == 0) std::this_thread::yield();
  }
}

TEST_F(ServiceTest, StopReportsATaskThatOutlivedItsWait) {
  writeMessageFiles(folder);
  ASSERT_EQ(service.serviceStart(fake.system.programPathValue), 1);
  std::atomic<bool> release{false};
  const auto holdOn = [&] {
    while (!release) std::this_thread::yield();
  };
  initialiseTask(service.tasks()[kExecuteWorker], holdOn, 100);
  service.startTasks();
  while (service.tasks()[kExecuteWorker].busy == 0) std::this_thread::yield();
  // The process must then end without destroying what the task still uses.
  EXPECT_FALSE(service.serviceStop());
  release = true;
  for (int id = 0; id < kTaskCount; ++id) {
    while (service.tasks()[id].finished == 0) std::this_thread::yield();
  }
}

TEST_F(ServiceTest, PollTaskProbesTheConfiguredUpsPortUntilTheStopClosesIt) {
  writeMessageFiles(folder);
  FakeSerialDevice& ups = fake.serial.device("COM1");
  ASSERT_EQ(service.serviceStart(fake.system.programPathValue), 1);
  EXPECT_EQ(fake.serial.openedNames(), std::vector<std::string>{"COM1"});
  service.startTasks();
  // The first candidate's probe is the single byte 1.
  while (ups.writtenText().empty()) std::this_thread::yield();
  EXPECT_EQ(ups.writtenText()[0], '\x01');
  service.serviceStop();
  for (int id = 0; id < kTaskCount; ++id) {
    while (service.tasks()[id].finished == 0) std::this_thread::yield();
  }
  EXPECT_EQ(ups.openPorts(), 0);
}

TEST_F(ServiceTest, RecordPathsChangedAtRunTimeRedirectNoWrite) {
  writeMessageFiles(folder);
  ASSERT_EQ(service.serviceStart(fake.system.programPathValue), 1);
  const ScratchFolder elsewhere;
  StatusRecord& r = service.record();
  setText(r.configPath, elsewhere.file("kestrel.cfg"));
  setText(r.eventLogPath, elsewhere.file("kestrel.log"));
  setText(r.dataLogPath, elsewhere.file("kestrel.dat"));
  setText(r.tempPath, elsewhere.file("kestrel.tmp"));
  storeField(r.EvtFileLen, 142);  // the second line cuts the log, through the temporary file
  storeField(r.dataLogCountdown, 1);

  ASSERT_EQ(service.settings().saveSettings(), 0);
  runStepOnce(service.tasks()[kMonitorTask]);  // "service started"
  fake.clock.advanceMs(1000);
  runStepOnce(service.tasks()[kMonitorTask]);  // the data line
  service.monitor().raiseEvent(kOccurrence, 24);

  EXPECT_TRUE(folder.exists("kestrel.cfg"));
  EXPECT_EQ(folder.read("kestrel.log").size(), 71u) << "cut to its newest line";
  EXPECT_EQ(folder.read("kestrel.dat").size(), 63u);
  EXPECT_FALSE(folder.exists("kestrel.tmp"));
  EXPECT_TRUE(std::filesystem::is_empty(elsewhere.file(""))) << "nothing written elsewhere";
}

TEST_F(ServiceTest, AlarmWriteOnAnyThreadWakesTheMonitorOutOfItsIdlePause) {
  writeMessageFiles(folder);
  ASSERT_EQ(service.serviceStart(fake.system.programPathValue), 1);
  PeriodicTask& monitor = service.tasks()[kMonitorTask];
  // Unwoken, the monitor would look again only after a minute.
  monitor.idleWaitMs = 60'000;
  std::thread loop(runTaskLoop, std::ref(monitor), std::ref(nativeClock()));
  ASSERT_TRUE(eventually([&] { return logged("024"); }));

  // The poll side sets an alarm bit (the decoder's writer).
  setFlagBit(service.record().alarmFlags, 1, true);
  EXPECT_TRUE(eventually([&] { return logged("001"); }));
  // A port change clears every bit on the control listener's thread.
  service.control().handler().handle(kPortsChangedCommand, 0, nullptr);
  EXPECT_TRUE(eventually([&] { return logged("101"); }));

  requestStop(monitor);
  loop.join();
}

}  // namespace
}  // namespace orvik
