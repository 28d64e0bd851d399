#include "platform/fake_tcp_server.h"

#include <algorithm>
#include <cstring>

namespace orvik {

class ScriptedConnection final : public TcpConnection {
 public:
  explicit ScriptedConnection(ScriptedTcpServer& server) : server_(server) {
    ++server_.connections;
  }
  ~ScriptedConnection() override { ++server_.closed; }

  int connect(const Ipv4Endpoint& to, int waitMs) override {
    if (to.address == kAnyIpv4 || to.address == kBroadcastIpv4) return fail(99);
    if (server_.connectHangs) {
      server_.clock_.sleepMs(waitMs);
      return fail(kFakeTimedOut);
    }
    server_.connectedTo = to;
    turnDue_ = true;  // the greeting
    return 0;
  }

  int sendAll(const void* data, std::size_t size, int waitMs) override {
    if (server_.neverReads) {
      server_.clock_.sleepMs(waitMs);
      return fail(kFakeTimedOut);
    }
    if (peerClosed_) return fail(32);
    server_.received.append(static_cast<const char*>(data), size);
    turnDue_ = !inTurn_;
    return 0;
  }

  int waitReadable(int waitMs) override {
    if (!arrived_.empty() || peerClosed_) return 1;
    Clock& clock = server_.clock_;
    if (turnDue_) {
      turnDue_ = false;
      inTurn_ = true;
      if (server_.script_.empty()) {
        turn_ = {"", -1};
      } else {
        turn_ = server_.script_.front();
        server_.script_.pop_front();
      }
      turnAt_ = turn_.afterMs < 0 ? -1 : clock.monotonicMs() + turn_.afterMs;
    }
    if (!inTurn_ || turnAt_ < 0 || turnAt_ > clock.monotonicMs() + waitMs) {
      clock.sleepMs(waitMs);
      return 0;
    }
    clock.sleepMs(turnAt_ - clock.monotonicMs());
    inTurn_ = false;
    arrived_ = turn_.bytes;
    peerClosed_ = turn_.hangUp;
    return 1;
  }

  int receive(void* buffer, std::size_t capacity) override {
    if (arrived_.empty()) return peerClosed_ ? 0 : fail(11);
    const std::size_t taken = std::min(capacity, arrived_.size());
    std::memcpy(buffer, arrived_.data(), taken);
    arrived_.erase(0, taken);
    return static_cast<int>(taken);
  }

  int lastError() const override { return error_; }

 private:
  int fail(int error) {
    error_ = error;
    return -1;
  }

  ScriptedTcpServer& server_;
  ScriptedTcpServer::Turn turn_;
  bool turnDue_ = false;
  bool inTurn_ = false;
  int64_t turnAt_ = -1;
  std::string arrived_;
  bool peerClosed_ = false;
  int error_ = 0;
};

std::unique_ptr<TcpConnection> ScriptedTcpServer::open() {
  return std::make_unique<ScriptedConnection>(*this);
}

}  // namespace orvik
