// 100000 random datagrams through a real loopback socket into the control
// handler: nothing crashes, every datagram of 12 bytes or more reaches the
// handler decoded as sent, and the record, the ring and the actions change
// exactly as the valid commands among them ask. The seed is printed; pass it
// back with --gtest_random_seed=N to replay a run.
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
#include "platform/posix_backends.h"
#include "service/core/communication_reset.h"
#include "service/core/control_handler.h"
#include "service/core/control_listener.h"
#include "service/monitor/record_startup.h"
#include "shared/control_datagram.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

constexpr int kDatagrams = 100000;
constexpr int kBatch = 32;  // small enough for the socket's receive buffer
constexpr uint32_t kMarker = 0x4D41524B;

struct Counting final : ControlActions {
  void saveSettings() override { ++saves; }
  void closeMainWindow() override { ++closes; }
  void scheduleOutletSwitchOff(int outlet) override { outlets.push_back(outlet); }
  int saves = 0;
  int closes = 0;
  std::vector<int> outlets;
};

struct Seen {
  uint32_t command;
  int32_t argument;
  bool hasText;
  bool operator==(const Seen&) const = default;
};

// What the handler should have done, worked out from the datagrams sent.
struct Model {
  std::vector<Seen> seen;
  std::vector<std::pair<uint32_t, int32_t>> batchPairs;
  int saves = 0;
  int closes = 0;
  int refused = 0;
  bool portChanged = false;
  std::vector<int> outlets;

  void queue(uint32_t command, int32_t argument) {
    if (batchPairs.size() < kUpsCommandSlots - 1) {
      batchPairs.emplace_back(command, argument);
    } else {
      ++refused;
    }
  }

  void apply(uint32_t command, int32_t argument, uint32_t length) {
    seen.push_back({command, argument, length >= 1 && length <= kMaxDatagramText});
    const bool ups = command == 369 || (command >= 385 && command <= 389) ||
                     (command >= 401 && command <= 404) || (command >= 407 && command <= 410) ||
                     command == 4132;
    const uint32_t high = static_cast<uint32_t>(argument) >> 16;
    const int outlet = static_cast<int16_t>(argument & 0xFFFF);
    if (ups) {
      queue(command, argument);
    } else if (command == 4096 || command == 4178) {
      ++saves;
    } else if (command == 4118) {
      queue(command, argument);
      portChanged = true;
      ++saves;
    } else if (command == 35152) {
      ++closes;
    } else if (command == 66145 && high == 0) {
      outlets.push_back(outlet);
    } else if (command == 66145 && high == 1) {
      queue(command, argument);
    } else if (command == 66145 && high == 2) {
      queue(command, outlet);
    }
  }
};

uint32_t fuzzSeed() {
  const int flag = GTEST_FLAG_GET(random_seed);
  if (flag > 0) return static_cast<uint32_t>(flag);
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  return static_cast<uint32_t>(now % 99999) + 1;
}

void putWord(std::vector<uint8_t>& bytes, std::size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

TEST(ControlFuzz, RandomDatagramsChangeOnlyWhatValidCommandsAsk) {
  const uint32_t seed = fuzzSeed();
  std::printf("control fuzz seed %u (replay with --gtest_random_seed=%u)\n", seed, seed);
  RecordProperty("seed", static_cast<int>(seed));
  std::mt19937 random(seed);
  auto uniform = [&](uint32_t low, uint32_t high) {
    return std::uniform_int_distribution<uint32_t>(low, high)(random);
  };

  auto record = std::make_unique<StatusRecord>();
  applyStartupValues(*record, RecordFacts{"Linux", 1700000000, 0, "host", "HOST"});
  setText(record->model, "Old model");
  storeField(record->batteryVoltage, 270);
  storeField(record->alarmFlags, 0x01000002u);
  storeField(record->systemDelay, 45);
  auto expected = std::make_unique<StatusRecord>(*record);

  UpsCommandQueue queue;
  Counting actions;
  ControlHandler handler(queue, actions);
  handler.attachRecord(record.get());

  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<Seen> seen;
  int32_t lastMarker = -1;
  FakeClock clock;
  ControlListener listener(posixSockets(), clock, [](const char*) {});
  ASSERT_EQ(listener.openListener(0,
                                  [&](uint32_t command, int32_t argument, const char* text) {
                                    std::lock_guard<std::mutex> lock(mutex);
                                    if (command == kMarker) {
                                      lastMarker = argument;
                                      arrived.notify_all();
                                      return;
                                    }
                                    seen.push_back({command, argument, text != nullptr});
                                    handler.handle(command, argument, text);
                                  }),
            0);
  Ipv4Endpoint to;
  ASSERT_EQ(listener.listenerEndpoint(0, &to), 0);
  auto client = posixSockets().openUdp();

  const uint32_t known[] = {369, 385, 386, 387, 388,  389,  401,  402,  403,   404,   405,   406,
                            407, 408, 409, 410, 4096, 4118, 4132, 4178, 35152, 66145, 66145, 66145};
  Model model;
  std::vector<uint8_t> bytes;
  for (int batch = 0; batch * kBatch < kDatagrams; ++batch) {
    for (int i = 0; i < kBatch && batch * kBatch + i < kDatagrams; ++i) {
      bytes.resize(uniform(0, 1500));
      for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(uniform(0, 255));
      if (bytes.size() >= kDatagramHeaderSize) {
        const uint32_t command =
            uniform(0, 9) < 7 ? known[uniform(0, std::size(known) - 1)] : uniform(0, 0xFFFFFFFF);
        const uint32_t argument = command == outletCommand
                                      ? uniform(0, 4) << 16 | uniform(0, 0xFFFF)
                                      : uniform(0, 0xFFFFFFFF);
        const uint32_t kind = uniform(0, 3);
        const uint32_t length = kind < 2    ? static_cast<uint32_t>(bytes.size() - 12)
                                : kind == 2 ? uniform(0, 2000)
                                            : uniform(0, 0xFFFFFFFF);
        putWord(bytes, 0, command == kMarker ? command + 1 : command);
        putWord(bytes, 4, argument);
        putWord(bytes, 8, length);
        model.apply(command == kMarker ? command + 1 : command, static_cast<int32_t>(argument),
                    length);
        if (command == kPortsChangedCommand) resetCommunicationState(*expected);
      }
      ASSERT_EQ(client->sendTo(to, bytes.data(), bytes.size()), 0);
    }
    const std::vector<uint8_t> marker = encodeControlDatagram(kMarker, batch, nullptr);
    ASSERT_EQ(client->sendTo(to, marker.data(), marker.size()), 0);
    {
      std::unique_lock<std::mutex> lock(mutex);
      ASSERT_TRUE(
          arrived.wait_for(lock, std::chrono::seconds(5), [&] { return lastMarker == batch; }))
          << "batch " << batch << " did not arrive whole (seed " << seed << ")";
    }
    // The poll task's part: take what the batch queued.
    std::vector<std::pair<uint32_t, int32_t>> taken;
    UpsCommand pair;
    while (queue.takeUpsCommand(&pair)) taken.emplace_back(pair.command, pair.argument);
    ASSERT_EQ(taken, model.batchPairs) << "batch " << batch << " (seed " << seed << ")";
    model.batchPairs.clear();
  }

  std::lock_guard<std::mutex> lock(mutex);
  EXPECT_EQ(seen.size(), model.seen.size());
  EXPECT_TRUE(seen == model.seen) << "seed " << seed;
  EXPECT_EQ(actions.saves, model.saves);
  EXPECT_EQ(actions.closes, model.closes);
  EXPECT_EQ(actions.outlets, model.outlets);
  EXPECT_EQ(handler.refusedCommands(), model.refused);
  EXPECT_TRUE(model.portChanged) << "the run should have covered the port change";
  EXPECT_EQ(std::memcmp(record.get(), expected.get(), sizeof(StatusRecord)), 0)
      << "the record changed beyond what the commands ask (seed " << seed << ")";
}

}  // namespace
}  // namespace orvik
