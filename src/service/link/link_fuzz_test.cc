// Random replies for every table record and random control commands, with a
// printed seed (set ORVIK_FUZZ_SEED to replay one). Replies sit in buffers
// of exactly their own length, so the address sanitizer build catches any
// read beyond them; each step also checks that the record stays coherent.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "service/link/command_composer.h"
#include "service/link/link_test_support.h"
#include "service/link/ups_commands.h"

namespace orvik {
namespace {

using link_test::LinkFixture;

class Random {
 public:
  Random() {
    const char* text = std::getenv("ORVIK_FUZZ_SEED");
    seed_ = text != nullptr ? std::strtoull(text, nullptr, 10) : std::random_device{}();
    std::fprintf(stderr, "ORVIK_FUZZ_SEED=%llu\n", static_cast<unsigned long long>(seed_));
    engine_.seed(seed_);
  }
  std::string seed() const { return "ORVIK_FUZZ_SEED=" + std::to_string(seed_); }
  int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(engine_); }
  bool oneIn(int n) { return between(1, n) == 1; }
  uint32_t bits() { return static_cast<uint32_t>(engine_()); }
  template <class T>
  T pick(std::initializer_list<T> items) {
    return items.begin()[between(0, static_cast<int>(items.size()) - 1)];
  }

 private:
  uint64_t seed_;
  std::mt19937_64 engine_;
};

// Random bytes, random protocol characters, or a real reply damaged and cut.
std::string randomReply(Random& random) {
  static const std::string alphabet = "0123456789 .-+#(\r\nxXabcdefABCDEF\t";
  std::string reply;
  switch (random.between(0, 2)) {
    case 0:
      for (int n = random.between(0, 100); n > 0; --n) reply += static_cast<char>(random.bits());
      return reply;
    case 1:
      for (int n = random.between(0, 100); n > 0; --n) {
        reply += alphabet[random.between(0, static_cast<int>(alphabet.size()) - 1)];
      }
      return reply;
    default:
      reply = random.pick<std::string>(
          {"(230.0 230.0 229.0 021 50.0 2.27 35.0 10001001 001 0000\r",
           "#ACME-POWER      VALUE-1000 V01.02.0003\r", "#230.0 004 24.00 50.0\r", "8f\r\n",
           std::string("\x21\x40\x73\x73\x32\x00\x32\x00\x00\x09\x0f\x4B\x5A\x00\x00\x01", 16)});
      for (int n = random.between(0, 4); n > 0; --n) {
        reply[random.between(0, static_cast<int>(reply.size()) - 1)] =
            static_cast<char>(random.bits());
      }
      return reply.substr(0, random.between(0, static_cast<int>(reply.size())));
  }
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
  setText(f.record.model, random.pick({"BACK-UPS", "SMART-UPS", ""}));
  f.clock.advanceMs(random.between(0, 100'000));
}

bool within(int value, int low, int high) { return value == -2 || (value >= low && value <= high); }

TEST(LinkFuzz, RandomRepliesToEveryTableRecordStayWithinTheReply) {
  Random random;
  SCOPED_TRACE(random.seed());
  std::vector<std::unique_ptr<LinkFixture>> fixtures;
  for (int protocol : {1, 2, 3, 4, 7}) fixtures.push_back(std::make_unique<LinkFixture>(protocol));
  // Model lookups read the file; most steps go without it to keep the run short.
  const std::string identPath = fixtures[0]->ctx.identPath;

  for (int i = 0; i < 20'000 && !HasFailure(); ++i) {
    LinkFixture& f = *fixtures[random.between(0, static_cast<int>(fixtures.size()) - 1)];
    const CommandGroup* group = &f.tables.group(random.between(1, 4));
    while (group->count < 1) group = &f.tables.group(random.between(1, 4));
    const CommandRecord& command = *group->command(random.between(1, group->count));
    if (random.oneIn(50)) shakeState(random, f);
    f.ctx.identPath = random.oneIn(10) ? identPath : "";
    const uint32_t othersBits = f.record.alarmFlags & 0xff7ffe00;  // not bits 0 to 8 and 23

    link_test::ExactReply reply(randomReply(random));
    const int result = decodeReply(f.ctx, reply.view(), command, reply.view());

    SCOPED_TRACE("step " + std::to_string(i) + ", command " + command.commandText);
    const StatusRecord& r = f.record;
    EXPECT_TRUE(result == 0 || result == 1);
    EXPECT_EQ(r.alarmFlags & 0xff7ffe00, othersBits);
    for (const char* text : {r.manufacturer, r.model, r.upsSoftwareVersion, r.serialNumber}) {
      EXPECT_EQ(text[63], '\0');
    }
    EXPECT_TRUE(within(r.estChargeRemaining, 0, 100)) << r.estChargeRemaining;
    EXPECT_TRUE(within(r.estMinutesRemaining, 0, 99)) << r.estMinutesRemaining;
    EXPECT_TRUE(within(r.batteryStatus, 2, 4)) << r.batteryStatus;
    EXPECT_TRUE(r.outputSource >= 3 && r.outputSource <= 7) << r.outputSource;
    EXPECT_TRUE(r.testResultsSummary >= 1 && r.testResultsSummary <= 6);
  }
}

TEST(LinkFuzz, RandomControlCommandsSendOnlyWhatTheyReport) {
  Random random;
  SCOPED_TRACE(random.seed());
  std::vector<std::unique_ptr<LinkFixture>> fixtures;
  for (int protocol = 0; protocol <= 9; ++protocol) {
    fixtures.push_back(std::make_unique<LinkFixture>(protocol));
  }
  int exchanges = 0;
  const Exchange exchange = [&](const uint8_t* bytes, int count, int interByteDelayMs, int settleMs,
                                char* reply, int* replyCount, int terminator, int maxLength,
                                int timeoutMs) {
    ++exchanges;
    EXPECT_TRUE(count >= 0 && count <= 32 && (count == 0 || bytes != nullptr)) << count;
    EXPECT_TRUE(interByteDelayMs == 0 && settleMs == 10 && terminator == 10 && maxLength >= 0);
    EXPECT_TRUE(timeoutMs == 600 || timeoutMs == 1000);
    // Touch every byte of both buffers, as the line would; sometimes over-report.
    uint8_t sum = 0;
    for (int k = 0; k < count; ++k) sum += bytes[k];
    const int answered = random.between(0, maxLength);
    for (int k = 0; k < answered; ++k) reply[k] = static_cast<char>(random.oneIn(4) ? '#' : sum);
    *replyCount = random.oneIn(20) ? maxLength + 5 : answered;
    return 0;
  };

  for (int i = 0; i < 5'000 && !HasFailure(); ++i) {
    LinkFixture& f = *fixtures[random.between(0, static_cast<int>(fixtures.size()) - 1)];
    const uint32_t number =
        random.oneIn(10) ? random.bits()
                         : random.pick<uint32_t>({369, 385, 386, 387, 388, 389, 401, 404, 407, 408,
                                                  409, 410, 4118, 4132, 66145, 66146, 66147});
    const int32_t argument =
        random.pick<int32_t>({static_cast<int32_t>(random.bits()), random.between(-5, 70'000),
                              random.between(0, 7) | random.between(0, 2) << 16, -1});
    if (random.oneIn(5)) f.ctx.pendingRestoreSeconds = static_cast<int32_t>(random.bits());

    SCOPED_TRACE("step " + std::to_string(i) + ": family " + std::to_string(f.ctx.protocolFamily) +
                 ", " + std::to_string(number) + " " + std::to_string(argument));
    exchanges = 0;
    const int result = executeUpsCommand(f.ctx, f.tables, exchange, number, argument);
    EXPECT_TRUE(result == 0 || result == 1);
    EXPECT_TRUE(result == 0 ? exchanges <= 5 : exchanges == 0) << exchanges << " exchanges";
    for (int k = 1; const CommandRecord* c = f.tables.group(4).command(k); ++k) {
      std::string command;
      if (composeTableCommand(*c, argument, &command) && c->sendKind == SendKind::asText) {
        EXPECT_TRUE(command.starts_with(c->commandText)) << c->commandText;
      }
    }
  }
}

}  // namespace
}  // namespace orvik
