#include "platform/fake_sockets.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace orvik {

struct FakeSockets::Network {
  struct Endpoint {
    bool bound = false;
    Ipv4Endpoint local;
    bool broadcast = false;
    bool cancelled = false;
    std::deque<std::vector<uint8_t>> inbox;
  };

  mutable std::mutex mutex;
  std::condition_variable arrived;
  std::map<int, Endpoint> sockets;  // by number
  std::map<std::string, uint32_t> hosts{{"localhost", kLoopbackIpv4}};
  std::vector<Sent> sent;
  int nextNumber = 3;
  uint16_t nextEphemeralPort = 40000;
  ScriptedTcpServer* tcpServer = nullptr;
  int failingOpens = 0;
  int failingSends = 0;
  int failingReceives = 0;
  int resolutions = 0;

  static bool overlaps(const Ipv4Endpoint& a, const Ipv4Endpoint& b) {
    return a.port == b.port &&
           (a.address == b.address || a.address == kAnyIpv4 || b.address == kAnyIpv4);
  }

  bool portTaken(const Ipv4Endpoint& wanted) const {
    return std::any_of(sockets.begin(), sockets.end(), [&](const auto& entry) {
      return entry.second.bound && overlaps(entry.second.local, wanted);
    });
  }
};

namespace {

using Network = FakeSockets::Network;

bool parseDotted(const char* text, uint32_t* address) {
  unsigned parts[4];
  char tail = 0;
  if (std::sscanf(text, "%3u.%3u.%3u.%3u%c", &parts[0], &parts[1], &parts[2], &parts[3], &tail) !=
      4) {
    return false;
  }
  uint32_t value = 0;
  for (unsigned part : parts) {
    if (part > 255) return false;
    value = value << 8 | part;
  }
  *address = value;
  return true;
}

class FakeUdpSocket final : public UdpSocket {
 public:
  FakeUdpSocket(std::shared_ptr<Network> network, int number)
      : network_(std::move(network)), number_(number) {}

  ~FakeUdpSocket() override {
    std::lock_guard<std::mutex> lock(network_->mutex);
    network_->sockets.erase(number_);
  }

  int number() const override { return number_; }

  int bind(const Ipv4Endpoint& local) override {
    std::lock_guard<std::mutex> lock(network_->mutex);
    Network::Endpoint& self = network_->sockets[number_];
    if (self.bound) return -1;
    Ipv4Endpoint wanted = local;
    if (wanted.port == 0) wanted.port = network_->nextEphemeralPort++;
    if (network_->portTaken(wanted)) return -1;
    self.bound = true;
    self.local = wanted;
    return 0;
  }

  int enableBroadcast() override {
    std::lock_guard<std::mutex> lock(network_->mutex);
    network_->sockets[number_].broadcast = true;
    return 0;
  }

  int sendTo(const Ipv4Endpoint& to, const void* data, std::size_t size) override {
    std::lock_guard<std::mutex> lock(network_->mutex);
    if (network_->failingSends > 0) {
      --network_->failingSends;
      return -1;
    }
    if (to.address == kBroadcastIpv4 && !network_->sockets[number_].broadcast) return -1;
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::vector<uint8_t> payload(bytes, bytes + size);
    for (auto& [number, endpoint] : network_->sockets) {
      const bool reaches = to.address == kBroadcastIpv4 || endpoint.local.address == kAnyIpv4 ||
                           endpoint.local.address == to.address;
      if (endpoint.bound && endpoint.local.port == to.port && reaches) {
        endpoint.inbox.push_back(payload);
      }
    }
    network_->sent.push_back({number_, to, std::move(payload)});
    network_->arrived.notify_all();
    return 0;
  }

  int receive(void* buffer, std::size_t capacity, int waitMs) override {
    std::unique_lock<std::mutex> lock(network_->mutex);
    if (network_->failingReceives > 0) {
      --network_->failingReceives;
      return kReceiveError;
    }
    auto& endpoint = network_->sockets[number_];
    if (!network_->arrived.wait_for(lock, std::chrono::milliseconds(waitMs),
                                    [&] { return endpoint.cancelled || !endpoint.inbox.empty(); })) {
      return kReceiveTimedOut;
    }
    if (endpoint.cancelled) return kReceiveError;
    auto& inbox = endpoint.inbox;
    const std::vector<uint8_t> datagram = std::move(inbox.front());
    inbox.pop_front();
    const std::size_t copied = std::min(capacity, datagram.size());
    if (copied > 0) std::memcpy(buffer, datagram.data(), copied);
    return static_cast<int>(copied);
  }

  void cancelReceive() override {
    {
      std::lock_guard<std::mutex> lock(network_->mutex);
      network_->sockets[number_].cancelled = true;
    }
    network_->arrived.notify_all();
  }

  int localEndpoint(Ipv4Endpoint* out) const override {
    std::lock_guard<std::mutex> lock(network_->mutex);
    *out = network_->sockets[number_].local;
    return 0;
  }

 private:
  std::shared_ptr<Network> network_;
  int number_;
};

}  // namespace

FakeSockets::FakeSockets() : network_(std::make_shared<Network>()) {}

FakeSockets::~FakeSockets() = default;

std::unique_ptr<UdpSocket> FakeSockets::openUdp() {
  std::lock_guard<std::mutex> lock(network_->mutex);
  if (network_->failingOpens > 0) {
    --network_->failingOpens;
    return nullptr;
  }
  const int number = network_->nextNumber++;
  network_->sockets[number];
  return std::make_unique<FakeUdpSocket>(network_, number);
}

std::unique_ptr<TcpConnection> FakeSockets::openTcp(int* error) {
  std::lock_guard<std::mutex> lock(network_->mutex);
  if (network_->failingOpens > 0 || network_->tcpServer == nullptr) {
    network_->failingOpens = std::max(0, network_->failingOpens - 1);
    *error = 24;  // EMFILE
    return nullptr;
  }
  return network_->tcpServer->open();
}

void FakeSockets::setTcpServer(ScriptedTcpServer* server) {
  std::lock_guard<std::mutex> lock(network_->mutex);
  network_->tcpServer = server;
}

int FakeSockets::resolveHostName(const char* name, uint32_t* address) {
  std::lock_guard<std::mutex> lock(network_->mutex);
  ++network_->resolutions;
  if (parseDotted(name, address)) return 0;
  const auto it = network_->hosts.find(name);
  if (it == network_->hosts.end()) return -1;
  *address = it->second;
  return 0;
}

void FakeSockets::addHost(const std::string& name, uint32_t address) {
  std::lock_guard<std::mutex> lock(network_->mutex);
  network_->hosts[name] = address;
}

void FakeSockets::failOpens(int count) {
  std::lock_guard<std::mutex> lock(network_->mutex);
  network_->failingOpens = count;
}

void FakeSockets::failSends(int count) {
  std::lock_guard<std::mutex> lock(network_->mutex);
  network_->failingSends = count;
}

void FakeSockets::failReceives(int count) {
  std::lock_guard<std::mutex> lock(network_->mutex);
  network_->failingReceives = count;
}

std::vector<FakeSockets::Sent> FakeSockets::sent() const {
  std::lock_guard<std::mutex> lock(network_->mutex);
  return network_->sent;
}

int FakeSockets::resolutions() const {
  std::lock_guard<std::mutex> lock(network_->mutex);
  return network_->resolutions;
}

int FakeSockets::liveSockets() const {
  std::lock_guard<std::mutex> lock(network_->mutex);
  return static_cast<int>(network_->sockets.size());
}

}  // namespace orvik
