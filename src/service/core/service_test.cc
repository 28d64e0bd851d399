#include "service/core/service.h"

#include <gtest/gtest.h>

#include "service/actions/message_catalogue.h"
#include "service/monitor/monitor_test_support.h"

namespace orvik {
namespace {

// The language follows the test machine's locale, so every file is there.
void writeMessageFiles(const ScratchFolder& folder) {
  for (const char* code :
       {"en", "tw", "cn", "es", "fr", "de", "it", "ja", "ru", "ar", "cz", "pl", "bg"}) {
    folder.write(std::string("msg.") + code,
                 "<24><Service started><><>\n<124><Service stopped><><>\n"
                 "<302><The status record could not be set up.><><>\n");
  }
}

class ServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    freeCatalogue();
    fake.system.programPathValue = folder.file("upskeeper");
  }
  void TearDown() override { freeCatalogue(); }

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

}  // namespace
}  // namespace orvik
