#include "cli/cli.h"

#include <gtest/gtest.h>

#include <cstring>

#include "cli/control_commands.h"
#include "platform/fake_platform.h"
#include "shared/control_datagram.h"
#include "shared/record_mapping.h"
#include "shared/service_record_test_support.h"

namespace orvik {
namespace {

// orvik against fakes: a service's record in fake shared memory, an
// in-process network and a fake clock.
class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    service_ = RecordMapping::createOrOpen(memory_);
    ASSERT_TRUE(service_ && service_->holdOwnerLock());
    std::memcpy(&record(), serviceRecord().get(), sizeof(StatusRecord));
  }

  StatusRecord& record() { return service_->record(); }

  int run(std::vector<std::string> args) {
    out_.clear();
    err_.clear();
    CliEnvironment env{memory_,
                       sockets_,
                       clock_,
                       "/nonexistent/",
                       [this](std::string_view text) { out_ += text; },
                       [this](std::string_view text) { err_ += text; },
                       nullptr};
    return runOrvik(args, env);
  }

  // The control datagrams sent, as (command, argument).
  std::vector<std::pair<uint32_t, int32_t>> sent() {
    std::vector<std::pair<uint32_t, int32_t>> commands;
    for (const FakeSockets::Sent& s : sockets_.sent()) {
      ControlDatagram datagram;
      EXPECT_EQ(decodeControlDatagram(s.bytes.data(), s.bytes.size(), &datagram), 0);
      EXPECT_EQ(s.to.address, kLoopbackIpv4);
      EXPECT_EQ(s.to.port, kControlPort);
      commands.emplace_back(datagram.command, datagram.argument);
    }
    return commands;
  }

  FakeSharedMemory memory_;
  FakeSockets sockets_;
  FakeClock clock_;
  std::unique_ptr<RecordMapping> service_;
  std::string out_, err_;
};

TEST_F(CliTest, StatusExitTellsRunningLostAndNotRunning) {
  EXPECT_EQ(run({"status"}), kExitOk);
  EXPECT_NE(out_.find("Input        229 V  50.1 Hz\n"), std::string::npos) << out_;
  EXPECT_EQ(err_, "");

  setFlagBit(record().alarmFlags, 19, true);
  EXPECT_EQ(run({"status"}), kExitLinkLost);
  EXPECT_NE(out_.find("Link         LOST"), std::string::npos) << out_;

  storeFlags(record().alarmFlags, 0);  // the service on its way out
  EXPECT_EQ(run({"status"}), kExitNotRunning);
  EXPECT_EQ(err_, "orvik: service not running\n");
  EXPECT_EQ(out_, "");
  EXPECT_EQ(run({"test"}), kExitNotRunning);
  EXPECT_TRUE(sent().empty()) << "a command for nobody";

  service_.reset();  // killed: the record stays, nobody holds it
  EXPECT_EQ(run({"status", "--json"}), kExitNotRunning);
  EXPECT_EQ(out_, "{\"service_running\": false}\n");
  EXPECT_EQ(err_, "orvik: service not running\n");
}

TEST_F(CliTest, StatusLinesFitEightyColumnsWhateverTheRecordHolds) {
  std::memset(record().model, 'M', sizeof record().model - 1);
  std::memset(record().upsSoftwareVersion, 'F', sizeof record().upsSoftwareVersion - 1);
  std::memset(record().serialNumber, 'S', sizeof record().serialNumber - 1);
  std::memset(record().idName, 'N',
              sizeof record().idName);  // loaded from a file: may lack its end
  storeFlags(record().alarmFlags, 0xFFFFFFFF);
  EXPECT_EQ(run({"status"}), kExitLinkLost);
  std::size_t start = 0;
  for (std::size_t end; (end = out_.find('\n', start)) != std::string::npos; start = end + 1) {
    EXPECT_LE(end - start, 80u) << out_.substr(start, end - start);
  }
  EXPECT_NE(out_.find("bit_31"), std::string::npos) << out_;
  EXPECT_EQ(out_.find("service running"), std::string::npos) << "not an alarm";
}

TEST_F(CliTest, SelfTestSucceedsOnlyWhenTheServiceTakesIt) {
  EXPECT_EQ(run({"test"}), kExitError);
  EXPECT_EQ(err_, "orvik: the service did not start the self-test within 5 s\n");
  EXPECT_GE(clock_.sleptMs(), kTestWaitMs);

  // The service takes it a while later, as its poll task does.
  clock_.beforeSleep = [this](int64_t) {
    if (clock_.monotonicMs() >= 8000) storeField(record().testStartTicks, 1234);
  };
  EXPECT_EQ(run({"test"}), kExitOk);
  EXPECT_EQ(out_.rfind("Self-test started", 0), 0u) << out_;
  EXPECT_EQ(sent(), (std::vector<std::pair<uint32_t, int32_t>>{{369, 1}, {369, 1}}));
}

TEST_F(CliTest, ControlDatagramsAreThePagesOnesWithinWhatTheUpsReports) {
  record().outletCount = 2;
  record().outlets[1].outletShutdownDelay = 30;
  EXPECT_EQ(run({"outlet", "3", "on"}), kExitError);
  EXPECT_EQ(err_, "orvik: outlet 3: the UPS reports 2 switchable outlets\n");
  EXPECT_EQ(run({"outlet", "2", "off"}), kExitOk);
  EXPECT_EQ(out_, "Outlet 2 switches off in 30 s; the hosts that depend on it are told now.\n");
  clock_.beforeSleep = [this](int64_t) { storeField(record().outlets[0].outletState, 1); };
  EXPECT_EQ(run({"outlet", "1", "on"}), kExitOk);
  EXPECT_EQ(out_, "Outlet 1 is on.\n");
  record().outletCount = -2;  // not reported
  EXPECT_EQ(run({"outlet", "1", "on"}), kExitError);
  setFlagBit(record().alarmFlags, kShutdownStartedBit, true);
  EXPECT_EQ(run({"shutdown-cancel"}), kExitOk);
  EXPECT_NE(out_.find("shutting this computer down; that goes on"), std::string::npos) << out_;
  EXPECT_EQ(sent(),
            (std::vector<std::pair<uint32_t, int32_t>>{{66145, 1}, {66145, 0x10000}, {386, -1}}));
}

TEST_F(CliTest, BadArgumentsGiveOneLineAndStatusOne) {
  struct Case {
    std::vector<std::string> args;
    const char* error;
  };
  const Case cases[] = {
      {{"stats"}, "orvik: unknown command 'stats'; see 'orvik --help'\n"},
      {{"status", "--follow"},
       "orvik: unknown option '--follow' for status; see 'orvik status --help'\n"},
      {{"events", "-n", "-5"},
       "orvik: -n needs a number of lines from 0 (all) to 1000000; see 'orvik events --help'\n"},
      {{"data", "-n9999999"},
       "orvik: -n needs a number of lines from 0 (all) to 1000000; see 'orvik data --help'\n"},
      {{"events", "--dir"}, "orvik: --dir needs a folder; see 'orvik events --help'\n"},
      {{"outlet", "0", "on"}, "orvik: outlet number '0' is not 1 to 8\n"},
      {{"outlet", "1"}, "orvik: outlet needs a number and on or off; see 'orvik outlet --help'\n"},
      {{"test", "now"}, "orvik: unexpected argument 'now' for test; see 'orvik test --help'\n"},
      {{"events"},
       "orvik: cannot read /nonexistent/kestrel.log: No such file or directory (the "
       "service logs to /opt/orvik/kestrel.log; see --dir)\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(run(c.args), kExitError) << c.args[0];
    EXPECT_EQ(err_, c.error);
  }
  EXPECT_TRUE(sent().empty());
}

}  // namespace
}  // namespace orvik
