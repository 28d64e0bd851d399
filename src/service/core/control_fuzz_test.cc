// 100000 random datagrams through a real loopback socket into the control
// handler. A twin handler gets the same datagrams decoded directly: the two
// must end with the same ring contents and actions, so nothing was lost,
// reordered or misread on the way; and the record may change only as the
// port-change command asks. The seed is printed; --gtest_random_seed=N
// replays a run.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>
#include <vector>

#include "platform/fake_clock.h"
#include "platform/native_backends.h"
#include "service/core/communication_reset.h"
#include "service/core/control_handler.h"
#include "service/core/control_listener.h"
#include "service/monitor/record_startup.h"
#include "shared/control_datagram.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

constexpr int kDatagrams = 100000;
constexpr int kBatch = 32;  // well within the socket's receive buffer
constexpr uint32_t kMarker = 0x4D41524B;

struct Effects final : ControlActions {
  void saveSettings() override { log.push_back(-1); }
  void closeMainWindow() override { log.push_back(-2); }
  void scheduleOutletSwitchOff(int outlet) override { log.push_back(outlet); }
  std::vector<int> log;  // -1 save, -2 close, else an outlet switched off
  std::vector<std::pair<uint32_t, int32_t>> taken;
};

struct Side {
  Side() : record(std::make_unique<StatusRecord>()) {
    applyUpsStartValues(*record);
    setText(record->model, "Old model");
    storeField(record->alarmFlags, 0x01000002u);
    handler.attachRecord(record.get());
  }
  void takeAll() {
    UpsCommand pair;
    while (queue.takeUpsCommand(&pair)) effects.taken.emplace_back(pair.command, pair.argument);
  }
  std::unique_ptr<StatusRecord> record;
  UpsCommandQueue queue;
  Effects effects;
  ControlHandler handler{queue, effects};
};

uint32_t fuzzSeed() {
  const int flag = GTEST_FLAG_GET(random_seed);
  if (flag > 0) return static_cast<uint32_t>(flag);
  return static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count() %
                               99999) +
         1;
}

TEST(ControlFuzz, RandomDatagramsChangeOnlyWhatValidCommandsAsk) {
  const uint32_t seed = fuzzSeed();
  std::printf("control fuzz seed %u (replay with --gtest_random_seed=%u)\n", seed, seed);
  std::mt19937 random(seed);
  auto uniform = [&](uint32_t low, uint32_t high) {
    return std::uniform_int_distribution<uint32_t>(low, high)(random);
  };

  Side live, twin;
  auto expected = std::make_unique<StatusRecord>(*live.record);
  std::mutex mutex;
  std::condition_variable arrived;
  int32_t lastMarker = -1;
  FakeClock clock;
  ControlListener listener(nativeSockets(), clock, [](const char*) {});
  ASSERT_EQ(listener.openListener(0,
                                  [&](uint32_t command, int32_t argument, const char* text) {
                                    std::lock_guard<std::mutex> lock(mutex);
                                    if (command != kMarker) {
                                      live.handler.handle(command, argument, text);
                                      return;
                                    }
                                    lastMarker = argument;
                                    arrived.notify_all();
                                  }),
            0);
  Ipv4Endpoint to;
  ASSERT_EQ(listener.listenerEndpoint(0, &to), 0);
  auto client = nativeSockets().openUdp();

  const uint32_t known[] = {369, 385, 386, 387, 388,  389,  401,  402,  403,   404,   405,   406,
                            407, 408, 409, 410, 4096, 4118, 4132, 4178, 35152, 66145, 66145, 66145};
  std::vector<uint8_t> bytes;
  for (int batch = 0; batch * kBatch < kDatagrams; ++batch) {
    for (int i = 0; i < kBatch; ++i) {
      bytes.resize(uniform(0, 1500));
      for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(uniform(0, 255));
      if (bytes.size() >= kDatagramHeaderSize) {
        const uint32_t command =
            uniform(0, 9) < 7 ? known[uniform(0, std::size(known) - 1)] : uniform(0, 0xFFFFFFFE);
        const uint32_t argument = command == outletCommand
                                      ? uniform(0, 4) << 16 | uniform(0, 0xFFFF)
                                      : uniform(0, 0xFFFFFFFF);
        const uint32_t kind = uniform(0, 3);
        const uint32_t length = kind < 2    ? static_cast<uint32_t>(bytes.size() - 12)
                                : kind == 2 ? uniform(0, 2000)
                                            : uniform(0, 0xFFFFFFFF);
        for (int k = 0; k < 4; ++k) {
          bytes[k] = static_cast<uint8_t>((command == kMarker ? 0 : command) >> (24 - 8 * k));
          bytes[4 + k] = static_cast<uint8_t>(argument >> (24 - 8 * k));
          bytes[8 + k] = static_cast<uint8_t>(length >> (24 - 8 * k));
        }
        if (command == kPortsChangedCommand) resetCommunicationState(*expected);
      }
      ControlDatagram decoded;
      if (decodeControlDatagram(bytes.data(), bytes.size(), &decoded) == 0) {
        twin.handler.handle(decoded.command, decoded.argument,
                            decoded.hasText ? decoded.text.c_str() : nullptr);
      }
      ASSERT_EQ(client->sendTo(to, bytes.data(), bytes.size()), 0);
    }
    const std::vector<uint8_t> marker = encodeControlDatagram(kMarker, batch, nullptr);
    ASSERT_EQ(client->sendTo(to, marker.data(), marker.size()), 0);
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(
        arrived.wait_for(lock, std::chrono::seconds(5), [&] { return lastMarker == batch; }))
        << "batch " << batch << " did not arrive whole (seed " << seed << ")";
    live.takeAll();  // the poll task's part, for both sides at the same points
    twin.takeAll();
    ASSERT_EQ(live.effects.taken, twin.effects.taken) << "batch " << batch << ", seed " << seed;
  }

  std::lock_guard<std::mutex> lock(mutex);
  EXPECT_EQ(live.effects.log, twin.effects.log) << "seed " << seed;
  EXPECT_EQ(live.handler.refusedCommands(), twin.handler.refusedCommands());
  EXPECT_GT(live.effects.taken.size(), 10000u);
  EXPECT_EQ(loadField(expected->alarmFlags), 0u) << "the run should cover a port change";
  EXPECT_EQ(std::memcmp(live.record.get(), expected.get(), sizeof(StatusRecord)), 0)
      << "the record changed beyond what the commands ask (seed " << seed << ")";
}

}  // namespace
}  // namespace orvik
