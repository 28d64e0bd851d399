// Random replies for every table record and random control commands, with a
// printed seed (set ORVIK_FUZZ_SEED to replay one). Replies sit in buffers
// of exactly their own length, so the address sanitizer build catches any
// read beyond them; each step also checks that the record stays coherent.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "service/link/command_composer.h"
#include "service/link/link_test_support.h"
#include "service/link/reply_decoder.h"
#include "service/link/ups_commands.h"

namespace orvik {
namespace {

using link_test::ExactReply;
using link_test::LinkFixture;

constexpr int kDecodeIterations = 20'000;
constexpr int kCommandIterations = 5'000;
// One protocol of each table set.
constexpr int kProtocols[] = {1, 2, 3, 4, 7};

uint64_t fuzzSeed() {
  if (const char* text = std::getenv("ORVIK_FUZZ_SEED")) return std::strtoull(text, nullptr, 10);
  return std::random_device{}();
}

class Random {
 public:
  explicit Random(uint64_t seed) : engine_(seed) {}
  int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(engine_); }
  bool oneIn(int n) { return between(1, n) == 1; }
  template <class T>
  const T& pick(const std::vector<T>& items) {
    return items[between(0, static_cast<int>(items.size()) - 1)];
  }
  uint32_t bits() { return static_cast<uint32_t>(engine_()); }

 private:
  std::mt19937_64 engine_;
};

const std::map<std::string, std::string> kSampleReplies = {
    {"Q1", "(230.0 230.0 229.0 021 50.0 2.27 35.0 10001001 001 0000\r"},
    {"I", "#ACME-POWER      VALUE-1000 V01.02.0003\r"},
    {"F", "#230.0 004 24.00 50.0\r"},
    {"OI", "#0210\r"},
    {"1", std::string("\x21\x40\x73\x73\x32\x00\x32\x00\x00\x09\x0f\x4B\x5A\x00\x00\x01", 16)},
    {"BS", "02\r\n"},
    {"AG", "8f\r\n"},
    {"TR", "005\r\n"},
    {"IM", "ACME-POWER\r\n"},
};

std::string randomReply(Random& random, const CommandRecord& command) {
  const auto sample = kSampleReplies.find(command.commandText);
  std::string reply;
  switch (random.between(0, 2)) {
    case 0:
      for (int n = random.between(0, 100); n > 0; --n) reply += static_cast<char>(random.bits());
      return reply;
    case 1: {
      static const std::string alphabet = "0123456789 .-+#(\r\nxXabcdefABCDEF\t";
      for (int n = random.between(0, 100); n > 0; --n) {
        reply += alphabet[random.between(0, static_cast<int>(alphabet.size()) - 1)];
      }
      return reply;
    }
    default:
      reply = sample != kSampleReplies.end() ? sample->second : "123\r\n";
      for (int n = random.between(0, 4); n > 0 && !reply.empty(); --n) {
        reply[random.between(0, static_cast<int>(reply.size()) - 1)] =
            static_cast<char>(random.bits());
      }
      reply.resize(random.between(0, static_cast<int>(reply.size())));
      return reply;
  }
}

std::vector<const CommandRecord*> allRecords(const ProtocolTables& tables) {
  std::vector<const CommandRecord*> records;
  for (int g = 1; g <= 4; ++g) {
    for (int i = 1; const CommandRecord* c = tables.group(g).command(i); ++i) records.push_back(c);
  }
  return records;
}

void shakeState(Random& random, LinkFixture& f) {
  f.ctx.protocolVariant = random.between(0, 3);
  f.ctx.decoder.modelKind = static_cast<int16_t>(random.between(0, 1));
  f.ctx.decoder.previousAlarmFlags = random.bits();
  f.record.alarmFlags = random.bits();
  f.record.nominalBatteryVoltage = random.pick<int16_t>({0, 120, 240, 600, -2, 32767, -32768});
  f.record.outputPercentLoad[0] = random.pick<int16_t>({0, 35, -2, 1, 32767, -32768});
  f.record.confInVolt.value = random.pick<int16_t>({-2, 0, 120, 230, 32767});
  f.record.secondsOnBattery = random.pick<int16_t>({0, 5, 32767});
  if (random.oneIn(3)) setText(f.record.model, random.oneIn(2) ? "BACK-UPS" : "SMART-UPS");
  f.clock.advanceMs(random.between(0, 100'000));
}

// What no reply may break.
void expectCoherentRecord(const StatusRecord& r) {
  EXPECT_EQ(r.manufacturer[63], '\0');
  EXPECT_EQ(r.model[63], '\0');
  EXPECT_EQ(r.upsSoftwareVersion[63], '\0');
  EXPECT_EQ(r.serialNumber[63], '\0');
  EXPECT_EQ(r.testResultsDetail[255], '\0');
  EXPECT_TRUE(r.estChargeRemaining == -2 ||
              (r.estChargeRemaining >= 0 && r.estChargeRemaining <= 100))
      << r.estChargeRemaining;
  EXPECT_TRUE(r.estMinutesRemaining == -2 ||
              (r.estMinutesRemaining >= 0 && r.estMinutesRemaining <= 99))
      << r.estMinutesRemaining;
  EXPECT_TRUE(r.outputSource >= 3 && r.outputSource <= 7) << r.outputSource;
  EXPECT_TRUE(r.batteryStatus == -2 || (r.batteryStatus >= 2 && r.batteryStatus <= 4))
      << r.batteryStatus;
  EXPECT_TRUE(r.testResultsSummary >= 1 && r.testResultsSummary <= 6) << r.testResultsSummary;
}

TEST(LinkFuzz, RandomRepliesToEveryTableRecordStayWithinTheReply) {
  const uint64_t seed = fuzzSeed();
  std::fprintf(stderr, "reply fuzz seed %llu\n", static_cast<unsigned long long>(seed));
  SCOPED_TRACE("ORVIK_FUZZ_SEED=" + std::to_string(seed));
  Random random(seed);

  std::vector<std::unique_ptr<LinkFixture>> fixtures;
  for (int protocol : kProtocols) fixtures.push_back(std::make_unique<LinkFixture>(protocol));
  // Model lookups read the file; most steps go without it to keep the run short.
  const std::string identPath = fixtures[0]->ctx.identPath;

  for (int i = 0; i < kDecodeIterations && !HasFailure(); ++i) {
    LinkFixture& f = *fixtures[random.between(0, static_cast<int>(fixtures.size()) - 1)];
    const CommandRecord& command = *random.pick(allRecords(f.tables));
    if (random.oneIn(50)) shakeState(random, f);
    f.ctx.identPath = random.oneIn(10) ? identPath : "";

    const std::string bytes = randomReply(random, command);
    const uint32_t untouchedBits = 0xff7ffe00;  // the decoder's bits: 0 to 8 and 23
    const uint32_t before = f.record.alarmFlags & untouchedBits;
    ExactReply reply(bytes);
    const int result = decodeReply(f.ctx, reply.view(), command, reply.view());

    SCOPED_TRACE("step " + std::to_string(i) + ", command " + command.commandText);
    EXPECT_TRUE(result == 0 || result == 1);
    EXPECT_EQ(f.record.alarmFlags & untouchedBits, before);
    expectCoherentRecord(f.record);
  }
}

TEST(LinkFuzz, RandomControlCommandsSendOnlyWhatTheyReport) {
  const uint64_t seed = fuzzSeed();
  std::fprintf(stderr, "command fuzz seed %llu\n", static_cast<unsigned long long>(seed));
  SCOPED_TRACE("ORVIK_FUZZ_SEED=" + std::to_string(seed));
  Random random(seed);

  const std::vector<uint32_t> numbers = {369,   385,   386,   387,   388, 389,       401,
                                         404,   407,   408,   409,   410, 4118,      4132,
                                         66145, 66146, 66147, 66148, 0,   0xffffffff};
  std::vector<std::unique_ptr<LinkFixture>> fixtures;
  for (int protocol : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}) {
    fixtures.push_back(std::make_unique<LinkFixture>(protocol));
  }

  int exchanges = 0;
  const Exchange exchange = [&](const uint8_t* bytes, int count, int interByteDelayMs, int settleMs,
                                char* reply, int* replyCount, int terminator, int maxLength,
                                int timeoutMs) {
    ++exchanges;
    EXPECT_GE(count, 0);
    EXPECT_TRUE(count == 0 || bytes != nullptr);
    EXPECT_LE(count, 32);
    EXPECT_EQ(interByteDelayMs, 0);
    EXPECT_EQ(settleMs, 10);
    EXPECT_EQ(terminator, 10);
    EXPECT_GE(maxLength, 0);
    EXPECT_TRUE(timeoutMs == 600 || timeoutMs == 1000);
    // Touch every byte of both buffers, as the line would.
    uint8_t sum = 0;
    for (int k = 0; k < count; ++k) sum += bytes[k];
    const int answered = random.between(0, maxLength);
    for (int k = 0; k < answered; ++k) reply[k] = static_cast<char>(random.oneIn(4) ? '#' : sum);
    *replyCount = random.oneIn(20) ? maxLength + 5 : answered;  // a line that over-reports
    return 0;
  };

  for (int i = 0; i < kCommandIterations && !HasFailure(); ++i) {
    LinkFixture& f = *fixtures[random.between(0, static_cast<int>(fixtures.size()) - 1)];
    const uint32_t number = random.oneIn(10) ? random.bits() : random.pick(numbers);
    int32_t argument;
    switch (random.between(0, 3)) {
      case 0:
        argument = static_cast<int32_t>(random.bits());
        break;
      case 1:
        argument = random.between(-5, 70'000);
        break;
      case 2:
        argument = random.between(0, 7) | random.between(0, 2) << 16;
        break;
      default:
        argument = -1;
        break;
    }
    if (random.oneIn(5)) f.ctx.pendingRestoreSeconds = static_cast<int32_t>(random.bits());

    SCOPED_TRACE("step " + std::to_string(i) + ": family " + std::to_string(f.ctx.protocolFamily) +
                 ", " + std::to_string(number) + " " + std::to_string(argument));
    exchanges = 0;
    const int result = executeUpsCommand(f.ctx, f.tables, exchange, number, argument);
    EXPECT_TRUE(result == 0 || result == 1);
    if (result == 1) {
      EXPECT_EQ(exchanges, 0) << "refused, yet sent";
    }
    EXPECT_LE(exchanges, 5);

    // The composer alone, on every control record of the protocol.
    for (int k = 1; const CommandRecord* c = f.tables.group(4).command(k); ++k) {
      std::string command;
      if (composeTableCommand(*c, argument, &command) && c->sendKind == SendKind::asText) {
        EXPECT_EQ(command.rfind(c->commandText, 0), 0u) << c->commandText;
      }
    }
  }
}

}  // namespace
}  // namespace orvik
