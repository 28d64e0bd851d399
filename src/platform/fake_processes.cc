#include "platform/fake_processes.h"

namespace orvik {
namespace {

class FakeChild final : public ChildProcess {
 public:
  FakeChild(Clock& clock, int32_t id, int64_t endsAtMs)
      : clock_(clock), id_(id), endsAtMs_(endsAtMs) {}
  int32_t id() const override { return id_; }
  bool ended() override { return clock_.monotonicMs() >= endsAtMs_; }
  int exitCode() override { return ended() ? 0 : -1; }

 private:
  Clock& clock_;
  int32_t id_;
  int64_t endsAtMs_;
};

}  // namespace

std::unique_ptr<ChildProcess> FakeProcessStarter::startProcess(const char* commandLine, bool show) {
  const std::string line = commandLine ? commandLine : "";
  const int64_t now = clock_.monotonicMs();
  const int64_t runs = runTimeMs ? runTimeMs(line) : 0;
  std::lock_guard<std::mutex> lock(mutex_);
  starts_.push_back({line, show, now});
  if (runs == kCannotStart) return nullptr;
  const int64_t endsAt = runs == kRunsForever ? kRunsForever : now + runs;
  return std::make_unique<FakeChild>(clock_, nextId_++, endsAt);
}

std::vector<FakeProcessStarter::Start> FakeProcessStarter::starts() {
  std::lock_guard<std::mutex> lock(mutex_);
  return starts_;
}

void FakePowerControl::powerOff() {
  std::lock_guard<std::mutex> lock(mutex_);
  powerOffs_.push_back(clock_.monotonicMs());
}

int FakePowerControl::stopService(const char* serviceName) {
  std::lock_guard<std::mutex> lock(mutex_);
  stops_.push_back(serviceName ? serviceName : "");
  return stopResult;
}

std::vector<int64_t> FakePowerControl::powerOffs() {
  std::lock_guard<std::mutex> lock(mutex_);
  return powerOffs_;
}

std::vector<std::string> FakePowerControl::stopRequests() {
  std::lock_guard<std::mutex> lock(mutex_);
  return stops_;
}

}  // namespace orvik
