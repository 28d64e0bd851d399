#include "platform/fake_processes.h"

namespace orvik {
namespace {

class FakeChild final : public ChildProcess {
 public:
  FakeChild(Clock& clock, int64_t endsAtMs) : clock_(clock), endsAtMs_(endsAtMs) {}
  int32_t id() const override { return 4242; }
  bool ended() override { return clock_.monotonicMs() >= endsAtMs_; }
  int exitCode() override { return ended() ? 0 : -1; }

 private:
  Clock& clock_;
  int64_t endsAtMs_;
};

}  // namespace

std::unique_ptr<ChildProcess> FakeProcessStarter::startProcess(const char* commandLine, bool show) {
  const std::string line = commandLine ? commandLine : "";
  const int64_t runs = runTimeMs ? runTimeMs(line) : 0;
  std::lock_guard<std::mutex> lock(mutex_);
  starts_.emplace_back(line, show);
  if (runs == kCannotStart) return nullptr;
  const int64_t endsAt = runs == kRunsForever ? runs : clock_.monotonicMs() + runs;
  return std::make_unique<FakeChild>(clock_, endsAt);
}

std::vector<std::pair<std::string, bool>> FakeProcessStarter::starts() {
  std::lock_guard<std::mutex> lock(mutex_);
  return starts_;
}

void FakePowerControl::powerOff() {
  std::lock_guard<std::mutex> lock(mutex_);
  powerOffs_.push_back(clock_.monotonicMs());
}

std::vector<int64_t> FakePowerControl::powerOffs() {
  std::lock_guard<std::mutex> lock(mutex_);
  return powerOffs_;
}

}  // namespace orvik
