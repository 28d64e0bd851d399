#include "platform/fake_serial_port.h"

#include <algorithm>

namespace orvik {
namespace {

// The speeds every serial driver offers; others are refused, as a real one may.
bool standardSpeed(uint32_t baud) {
  static constexpr uint32_t kSpeeds[] = {50,   75,    110,   134,   150,    200,
                                         300,  600,   1200,  1800,  2400,   4800,
                                         9600, 19200, 38400, 57600, 115200, 230400};
  return std::find(std::begin(kSpeeds), std::end(kSpeeds), baud) != std::end(kSpeeds);
}

}  // namespace

class FakeSerialPort final : public SerialPort {
 public:
  FakeSerialPort(std::shared_ptr<FakeSerialDevice> device, int generation)
      : device_(std::move(device)), generation_(generation) {}

  ~FakeSerialPort() override {
    std::lock_guard<std::mutex> lock(device_->mutex_);
    --device_->openPorts_;
    if (generation_ == device_->generation_) --device_->openNow_;
  }

  bool readSettings(LineSettings* out) override {
    FakeSerialDevice& d = *device_;
    ++d.osCalls_;
    std::lock_guard<std::mutex> lock(d.mutex_);
    d.settingsReads_.push_back(d.clock_.monotonicMs());
    if (!d.aliveLocked(generation_) || d.failReadSettings) return false;
    *out = d.settings_;
    return true;
  }

  bool applySettings(const LineSettings& settings) override {
    FakeSerialDevice& d = *device_;
    ++d.osCalls_;
    std::lock_guard<std::mutex> lock(d.mutex_);
    if (!d.aliveLocked(generation_) || d.failApplySettings) return false;
    if (!standardSpeed(settings.baudRate) || settings.dataBits < 5 || settings.dataBits > 8) {
      return false;
    }
    d.settings_ = settings;
    d.applied_.push_back({settings, d.clock_.monotonicMs()});
    return true;
  }

  // Input that has arrived is dropped; bytes still on their way are not.
  bool purge() override {
    FakeSerialDevice& d = *device_;
    ++d.osCalls_;
    std::lock_guard<std::mutex> lock(d.mutex_);
    if (!d.aliveLocked(generation_)) return false;
    const int64_t now = d.clock_.monotonicMs();
    d.purges_.push_back(now);
    std::erase_if(d.pending_, [now](const FakeSerialDevice::Pending& p) { return p.atMs <= now; });
    d.sinceCommand_.clear();
    return true;
  }

  int write(const unsigned char* bytes, int count) override {
    FakeSerialDevice& d = *device_;
    ++d.osCalls_;
    std::lock_guard<std::mutex> lock(d.mutex_);
    const bool failing = d.failingWrites_.count(d.writeCalls_++) != 0;
    if (!d.aliveLocked(generation_) || failing) return -1;
    d.receiveLocked(bytes, count);
    return count;
  }

  int read(unsigned char* buffer, int max) override {
    FakeSerialDevice& d = *device_;
    if (d.beforeRead) d.beforeRead();
    ++d.osCalls_;
    std::lock_guard<std::mutex> lock(d.mutex_);
    if (!d.aliveLocked(generation_)) return -1;
    const int64_t now = d.clock_.monotonicMs();
    int got = 0;
    while (got < max && !d.pending_.empty() && d.pending_.front().atMs <= now) {
      std::string& bytes = d.pending_.front().bytes;
      const int take = std::min(max - got, static_cast<int>(bytes.size()));
      std::copy_n(bytes.begin(), take, buffer + got);
      got += take;
      bytes.erase(0, take);
      if (bytes.empty()) d.pending_.erase(d.pending_.begin());
    }
    return got;
  }

  bool waitReadable(int64_t ms) override {
    FakeSerialDevice& d = *device_;
    ++d.osCalls_;
    const int64_t now = d.clock_.monotonicMs();
    int64_t until = now + std::max<int64_t>(ms, 0);
    bool ready = false;
    {
      std::lock_guard<std::mutex> lock(d.mutex_);
      if (d.aliveLocked(generation_) && !d.pending_.empty() && d.pending_.front().atMs <= until) {
        until = std::max(now, d.pending_.front().atMs);
        ready = true;
      }
    }
    d.clock_.sleepMs(until - now);
    return ready;
  }

 private:
  std::shared_ptr<FakeSerialDevice> device_;
  const int generation_;
};

void FakeSerialDevice::queueLocked(int64_t atMs, const std::string& bytes) {
  if (bytes.empty()) return;
  const auto later = std::upper_bound(pending_.begin(), pending_.end(), atMs,
                                      [](int64_t t, const Pending& p) { return t < p.atMs; });
  pending_.insert(later, Pending{atMs, bytes});
}

void FakeSerialDevice::receiveLocked(const unsigned char* bytes, int count) {
  const int64_t now = clock_.monotonicMs();
  for (int i = 0; i < count; ++i) {
    written_.push_back({bytes[i], now});
    sinceCommand_.push_back(static_cast<char>(bytes[i]));
    // The longest command that matches answers, so that "OI\r" can be told
    // from "I\r".
    const std::vector<ReplyChunk>* reply = nullptr;
    std::size_t matched = 0;
    for (const auto& [command, chunks] : answers_) {
      if (command.size() > matched && sinceCommand_.ends_with(command)) {
        reply = &chunks;
        matched = command.size();
      }
    }
    if (reply == nullptr) continue;
    for (const ReplyChunk& chunk : *reply) queueLocked(now + chunk.afterMs, chunk.bytes);
    sinceCommand_.clear();
  }
}

void FakeSerialDevice::sendAt(int64_t atMs, const std::string& bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  queueLocked(atMs, bytes);
}

void FakeSerialDevice::answer(const std::string& command, std::vector<ReplyChunk> reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  answers_[command] = std::move(reply);
}

void FakeSerialDevice::unplug() {
  std::lock_guard<std::mutex> lock(mutex_);
  present_ = false;
  ++generation_;
  openNow_ = 0;
  pending_.clear();
}

void FakeSerialDevice::plugIn() {
  std::lock_guard<std::mutex> lock(mutex_);
  present_ = true;
}

void FakeSerialDevice::failWriteCall(int callNumber) {
  std::lock_guard<std::mutex> lock(mutex_);
  failingWrites_.insert(callNumber);
}

std::vector<WrittenByte> FakeSerialDevice::written() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return written_;
}

std::string FakeSerialDevice::writtenText() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string text;
  for (const WrittenByte& w : written_) text.push_back(static_cast<char>(w.byte));
  return text;
}

std::vector<AppliedSettings> FakeSerialDevice::applied() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return applied_;
}

std::vector<int64_t> FakeSerialDevice::settingsReadTimes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return settingsReads_;
}

std::vector<int64_t> FakeSerialDevice::purgeTimes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return purges_;
}

std::vector<int64_t> FakeSerialDevice::openTimes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return opens_;
}

int FakeSerialDevice::openPorts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return openPorts_;
}

std::unique_ptr<SerialPort> FakeSerialPorts::open(const char* name) {
  ++osCalls_;
  std::shared_ptr<FakeSerialDevice> device;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    openedNames_.push_back(name);
    const auto it = devices_.find(name);
    if (it == devices_.end()) return nullptr;
    device = it->second;
  }
  std::lock_guard<std::mutex> lock(device->mutex_);
  if (!device->present_ || device->openNow_ > 0) return nullptr;
  ++device->openPorts_;
  ++device->openNow_;
  device->opens_.push_back(clock_.monotonicMs());
  return std::make_unique<FakeSerialPort>(device, device->generation_);
}

FakeSerialDevice& FakeSerialPorts::device(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto& device = devices_[name];
  if (!device) device = std::make_shared<FakeSerialDevice>(clock_, osCalls_);
  return *device;
}

std::vector<std::string> FakeSerialPorts::openedNames() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return openedNames_;
}

}  // namespace orvik
