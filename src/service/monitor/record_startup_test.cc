#include "service/monitor/record_startup.h"

#include <gtest/gtest.h>

#include "service/monitor/monitor_test_support.h"

namespace orvik {
namespace {

class RecordStartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    loadTestCatalogue(
        folder,
        "<1><Power failure><Power failed on #HOSTNAME#, down in #DOWNTIME#><PF #HOSTNAME#>\n"
        "<101><Power restore><Power is back on #HOSTNAME#><PR>\n"
        "<19><Communication lost>"
        "<" +
            std::string(120, 'n') + "><" + std::string(30, 'p') + ">\n",
        catalogue);
  }

  void initialise() {
    initialiseRecord(test.record(), fake.platform(), catalogue, test.files, settings);
  }
  EventAction& entry(int event) { return *eventActionForEvent(test.record(), event); }

  ScratchFolder folder;
  FakePlatform fake;
  MessageCatalogue catalogue;
  TestRecord test{folder};
  SettingsFile settings{test.record(), fake.platform(), test.files.configPath};
};

TEST_F(RecordStartupTest, EventDefaultsTakeTheCatalogueTextsCutToTheirFields) {
  initialise();
  EXPECT_EQ(readText(test.record().configPath), folder.directory() + "kestrel.cfg");
  EXPECT_EQ(readText(test.record().tempPath), folder.directory() + "kestrel.tmp");

  EXPECT_STREQ(entry(1).mailMessage, "Power failed on #HOSTNAME#, down in #DOWNTIME#");
  EXPECT_STREQ(entry(1).pageMessage, "PF #HOSTNAME#");
  EXPECT_EQ(std::string(entry(19).bnmMessage), std::string(99, 'n'));
  EXPECT_EQ(std::string(entry(19).pageMessage), std::string(15, 'p'));
  EXPECT_STREQ(entry(2).bnmMessage, "");  // not in the catalogue

  // Power failure: told to this machine after 5 s every 30 s, and a
  // shutdown after 300 s.
  EXPECT_EQ(entry(1).bnmPeriod, 30);
  EXPECT_STREQ(entry(1).bnmUsers, "localhost");
  EXPECT_EQ(entry(1).shutEnable, 1);
  EXPECT_EQ(entry(1).shutDelay, 300);
  EXPECT_EQ(test.record().powerFailCountdown, 300);
  EXPECT_STREQ(entry(119).bnmUsers, "localhost");
  // Shutdown imminent shuts down at once but is not logged; service stopped
  // is only logged; unlisted events do nothing.
  EXPECT_EQ(entry(22).shutEnable + entry(22).shutDelay + entry(22).logEnable, 1);
  EXPECT_EQ(entry(124).logEnable + entry(124).bnmEnable, 1);
  EXPECT_EQ(entry(3).logEnable + entry(3).bnmEnable + entry(3).shutEnable, 0);
  EXPECT_EQ(test.record().dataLogCountdown, 60);
}

TEST_F(RecordStartupTest, EventIniSetsPowerFailDelayOnlyWithinOneToADay) {
  const struct {
    const char* contents;  // null: no file
    int16_t delay;
  } cases[] = {
      {"600\r\n", 600},       {"1439\n", 1439}, {"1\n", 1},      {"1440\n", 300},  {"0\n", 300},
      {"-5\n", 300},          {"  42 s\n", 42}, {"x600\n", 300}, {"\n600\n", 300}, {nullptr, 300},
      {"99999999999\n", 300},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(folder.file("event.ini"));
    if (c.contents != nullptr) folder.write("event.ini", c.contents);
    initialise();
    EXPECT_EQ(entry(1).shutDelay, c.delay) << (c.contents ? c.contents : "(no file)");
    EXPECT_EQ(test.record().powerFailCountdown, c.delay);
  }
}

TEST_F(RecordStartupTest, SavedSettingsOverrideDefaultsButNeverEnableShutdownOnServiceEvents) {
  initialise();
  for (const int event : {0, 19, 23, 24}) entry(event).shutEnable = 1;
  entry(1).shutDelay = 77;
  test.record().serviceStartTime = 12345;
  ASSERT_EQ(settings.saveSettings(), 0);

  folder.write("event.ini", "600\n");  // the saved settings win over it
  fake.clock.advanceMs(5000);
  initialise();
  EXPECT_EQ(entry(0).shutEnable, 1);
  EXPECT_EQ(entry(19).shutEnable, 0);
  EXPECT_EQ(entry(23).shutEnable, 0);
  EXPECT_EQ(entry(24).shutEnable, 0);
  EXPECT_EQ(entry(1).shutDelay, 77);
  EXPECT_EQ(test.record().powerFailCountdown, 77);
  // Saved with the settings: the start time of the run that saved them.
  EXPECT_EQ(test.record().serviceStartTime, 12345);
  EXPECT_EQ(test.record().serviceStartTicks, 500);
}

}  // namespace
}  // namespace orvik
