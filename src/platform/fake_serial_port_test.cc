#include "platform/fake_serial_port.h"

#include "platform/serial_port_contract_test.h"

namespace orvik {
namespace {

class FakeHarness {
 public:
  FakeHarness() { ports_.device("COM1"); }

  Clock& clock() { return clock_; }
  std::unique_ptr<SerialPort> open() { return ports_.open("COM1"); }
  std::unique_ptr<SerialPort> openMissing() { return ports_.open("COM2"); }
  void peerSend(const std::string& bytes) { device().sendAt(clock_.monotonicMs(), bytes); }
  void peerSendAfter(int64_t ms, const std::string& bytes) {
    device().sendAt(clock_.monotonicMs() + ms, bytes);
  }
  std::string peerReceived(size_t count) { return device().writtenText().substr(0, count); }
  void unplug() { device().unplug(); }

 private:
  FakeSerialDevice& device() { return ports_.device("COM1"); }

  FakeClock clock_;
  FakeSerialPorts ports_{clock_};
};

INSTANTIATE_TYPED_TEST_SUITE_P(Fake, SerialPortContract, FakeHarness);

}  // namespace
}  // namespace orvik
