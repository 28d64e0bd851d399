// The control channel as the service wires it: opened at start before the
// record, fed by datagrams to 127.0.0.1:8828, closed at stop.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "service/actions/message_catalogue.h"
#include "service/core/service_test_support.h"
#include "service/core/service.h"
#include "service/monitor/monitor_test_support.h"
#include "shared/control_datagram.h"
#include "shared/persisted_slices.h"

namespace orvik {
namespace {

// Notes, as the record's name goes, whether the control port is still taken.
class NameRemovalWitness final : public SharedMemory {
 public:
  NameRemovalWitness(FakeSharedMemory& memory, FakeSockets& sockets)
      : memory_(memory), sockets_(sockets) {}
  std::unique_ptr<SharedBlock> createOrOpen(const char* name, std::size_t size,
                                            bool* existed) override {
    return memory_.createOrOpen(name, size, existed);
  }
  std::unique_ptr<SharedBlock> openExisting(const char* name, std::size_t size) override {
    return memory_.openExisting(name, size);
  }
  std::unique_ptr<SharedBlock> openOwned(const char* name, std::size_t size,
                                         bool* refused) override {
    return memory_.openOwned(name, size, refused);
  }
  std::unique_ptr<SharedBlock> openOwnedForReading(const char* name, std::size_t size, Look* look,
                                                   std::size_t* foundSize) override {
    return memory_.openOwnedForReading(name, size, look, foundSize);
  }
  void removeName(const char* name) override {
    portTakenAtRemoval = sockets_.openUdp()->bind({kLoopbackIpv4, kControlPort}) != 0;
    memory_.removeName(name);
  }
  bool portTakenAtRemoval = false;

 private:
  FakeSharedMemory& memory_;
  FakeSockets& sockets_;
};

class ServiceControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    freeCatalogue();
    fake_.system.programPathValue = folder_.file("upskeeper");
    writeMessageFiles(folder_, "<124><Service stopped><><>\n<304><Port taken.><><>\n");
  }
  void TearDown() override { freeCatalogue(); }

  void sendToService(uint32_t command, int32_t argument) {
    const std::vector<uint8_t> bytes = encodeControlDatagram(command, argument, nullptr);
    ASSERT_EQ(client_->sendTo({kLoopbackIpv4, kControlPort}, bytes.data(), bytes.size()), 0);
  }
  std::uintmax_t settingsFileSize() {
    std::error_code missing;
    const auto size = std::filesystem::file_size(folder_.file("kestrel.cfg"), missing);
    return missing ? 0 : size;
  }

  ScratchFolder folder_;
  FakePlatform fake_;
  std::unique_ptr<UdpSocket> client_ = fake_.sockets.openUdp();
  Service service_{fake_.platform()};
};

TEST_F(ServiceControlTest, SecondInstanceStopsWithBox304BeforeTouchingTheRecord) {
  auto firstInstance = fake_.sockets.openUdp();
  ASSERT_EQ(firstInstance->bind({kLoopbackIpv4, kControlPort}), 0);
  EXPECT_EQ(service_.serviceStart(fake_.system.programPathValue), 0);
  EXPECT_EQ(fake_.ui.boxes, std::vector<std::string>{"Power Device Service: Port taken."});
  EXPECT_FALSE(fake_.sharedMemory.exists(kRecordName));
}

TEST_F(ServiceControlTest, StopCommandPostsCloseAndTheStopFreesThePort) {
  ASSERT_EQ(service_.serviceStart(fake_.system.programPathValue), 1);
  sendToService(kStopServiceCommand, 0);
  ASSERT_TRUE(eventually([&] { return fake_.messages.pending() == 1; }));
  EXPECT_EQ(fake_.messages.wait(), WindowMessage::kClose);

  service_.serviceStop();
  EXPECT_EQ(fake_.sockets.openUdp()->bind({kLoopbackIpv4, kControlPort}), 0)
      << "the listener socket is closed";
}

TEST_F(ServiceControlTest, SettingsAndPortChangeCommandsSaveAndReachThePollTasksRing) {
  ASSERT_EQ(service_.serviceStart(fake_.system.programPathValue), 1);
  std::filesystem::remove(folder_.file("kestrel.cfg"));
  sendToService(kSaveSettingsCommand, 0);
  ASSERT_TRUE(eventually([&] { return settingsFileSize() == persistedSize(); }));

  std::filesystem::remove(folder_.file("kestrel.cfg"));
  storeField(service_.record().alarmFlags, 0x01080000u);
  sendToService(kPortsChangedCommand, 0);
  UpsCommand taken;
  ASSERT_TRUE(
      eventually([&] { return service_.control().upsCommandQueue().takeUpsCommand(&taken); }));
  EXPECT_EQ(taken.command, kPortsChangedCommand);
  ASSERT_TRUE(eventually([&] { return settingsFileSize() == persistedSize(); }));
  EXPECT_EQ(loadField(service_.record().alarmFlags), 0u);
  service_.serviceStop();
}

TEST_F(ServiceControlTest, StopRemovesTheRecordsNameBeforeItFreesThePort) {
  // A new instance starts only once it can take the port; by then the old
  // record must be gone, or it would open that one.
  NameRemovalWitness witness(fake_.sharedMemory, fake_.sockets);
  Platform platform = fake_.platform();
  platform.sharedMemory = &witness;
  Service service(platform);
  ASSERT_EQ(service.serviceStart(fake_.system.programPathValue), 1);
  service.serviceStop();
  EXPECT_FALSE(fake_.sharedMemory.exists(kRecordName));
  EXPECT_TRUE(witness.portTakenAtRemoval);
}

}  // namespace
}  // namespace orvik
