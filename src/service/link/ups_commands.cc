#include "service/link/ups_commands.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "service/link/command_composer.h"
#include "shared/record_access.h"
#include "shared/status_record.h"

namespace orvik {
namespace {

constexpr int kInterByteDelayMs = 0;
constexpr int kSettleMs = 10;
constexpr int kLineFeed = 10;
constexpr int kShortReply = 20;
constexpr int kShortTimeoutMs = 600;
constexpr int kTableTimeoutMs = 1000;
constexpr int kUnknownReplyMaximum = 99;
constexpr unsigned kOnBatteryBit = 1;
constexpr unsigned kTestInProgressBit = 23;
constexpr int16_t kTestInProgress = 5;

// Sends bytes with the settings every control command uses; returns the reply.
std::string send(const Exchange& exchange, std::string_view bytes, int maxLength, int timeoutMs) {
  if (!exchange) return {};
  std::vector<char> reply(std::max(maxLength, 1));
  int count = 0;
  exchange(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(bytes.size()),
           kInterByteDelayMs, kSettleMs, reply.data(), &count, kLineFeed, maxLength, timeoutMs);
  return std::string(reply.data(), std::clamp(count, 0, maxLength));
}

std::string sevenDigits(int32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%07d", value);
  return text;
}

bool composeFor(const CommandRecord* record, int32_t argument, std::string* command) {
  return record != nullptr && composeTableCommand(*record, argument, command);
}

// Only the record's length goes out: the checksum byte only where it covers it.
void sendComposed(const Exchange& exchange, const CommandRecord& record, std::string command) {
  const int length = record.replyLength;
  if (length >= 0) command.resize(std::min<std::size_t>(command.size(), length));
  send(exchange, command, length >= 0 ? length : kUnknownReplyMaximum, kTableTimeoutMs);
}

int sendTableCommand(const Exchange& exchange, const CommandRecord* record, int32_t argument) {
  std::string command;
  if (!composeFor(record, argument, &command)) return 1;
  sendComposed(exchange, *record, std::move(command));
  return 0;
}

// A test that is not sent is not marked as running.
int startTest(LinkContext& ctx, const Exchange& exchange, const CommandRecord* record,
              int32_t argument) {
  std::string command;
  if (!composeFor(record, argument, &command)) return 1;
  StatusRecord& status = *ctx.record;
  storeField(status.testResultsSummary, kTestInProgress);
  const int64_t ticks =
      int64_t{ctx.clock->processClock()} / 10 - loadField(status.serviceStartTicks);
  storeField(status.testStartTicks, static_cast<int32_t>(static_cast<uint32_t>(ticks)));
  setFlagBit(status.alarmFlags, kTestInProgressBit, true);
  ctx.testStartedMs = ctx.clock->monotonicMs();
  sendComposed(exchange, *record, std::move(command));
  return 0;
}

// "S<minutes>" or, below a minute, "S.<tenths of a minute>", then the
// restore time in minutes; "C" cancels. Below -1 the line is only read.
std::string q1SwitchOff(int32_t delay, int32_t restore) {
  if (delay == -1) return "C";
  if (delay < -1) return {};
  char text[48];
  if (delay < 60) {
    std::snprintf(text, sizeof text, "S.%1d", std::max(delay * 10 / 6, 2));
  } else {
    std::snprintf(text, sizeof text, "S%02d", delay / 60);
  }
  std::string command = text;
  if (restore >= 60) {
    std::snprintf(text, sizeof text, "R%04d", restore / 60);
    command += text;
  } else if (restore > 0) {
    command += "R0001";
  }
  return command + '\r';
}

std::string binarySwitchOff(int32_t delay, int32_t restore, bool onBattery) {
  uint8_t restoreHigh = 0x76, restoreLow = 0x1d;  // no restore
  if (restore > 0 && restore < 59) {
    restoreHigh = 0x00;
    restoreLow = 0x01;
  } else if (restore >= 59) {
    const int32_t minutes = restore / 60;
    restoreHigh = static_cast<uint8_t>(minutes / 255);
    restoreLow = static_cast<uint8_t>(minutes % 255);
  }
  const uint8_t frame[7] = {0x04,
                            restoreHigh,
                            restoreLow,
                            static_cast<uint8_t>(onBattery ? 0xb9 : 0xba),
                            0xbc,
                            static_cast<uint8_t>(delay / 60),
                            static_cast<uint8_t>(delay % 60)};
  return std::string(reinterpret_cast<const char*>(frame), sizeof frame);
}

int switchOff(LinkContext& ctx, const Exchange& exchange, const CommandRecord* record,
              int32_t delay) {
  const int32_t restore = ctx.pendingRestoreSeconds;
  switch (ctx.protocolFamily) {
    case kFamilyQ1:
      send(exchange, q1SwitchOff(delay, restore), kShortReply, kShortTimeoutMs);
      break;
    case kFamilyBinary: {
      const bool onBattery = (loadField(ctx.record->alarmFlags) >> kOnBatteryBit) & 1;
      send(exchange, binarySwitchOff(delay, restore, onBattery), 7, kShortTimeoutMs);
      break;
    }
    case kFamilyTwoLetter: {
      send(exchange, "Ct1", kShortReply, kShortTimeoutMs);
      ctx.clock->sleepMs(100);
      send(exchange, "Ca0", kShortReply, kShortTimeoutMs);
      const std::string lineEnd = delay == -1 ? "" : "\r\n";
      send(exchange, "Cs" + sevenDigits(delay) + lineEnd, kShortReply, kShortTimeoutMs);
      break;
    }
    default:
      return sendTableCommand(exchange, record, delay);
  }
  ctx.pendingRestoreSeconds = -1;
  return 0;
}

int restoreTime(LinkContext& ctx, const Exchange& exchange, const CommandRecord* record,
                int32_t seconds) {
  switch (ctx.protocolFamily) {
    case kFamilyBinary:
    case kFamilyQ1:
      ctx.pendingRestoreSeconds = seconds;
      return 0;
    case kFamilyTwoLetter:
      ctx.pendingRestoreSeconds = seconds;
      send(exchange, "Cu" + sevenDigits(seconds) + "\r\n", kShortReply, kShortTimeoutMs);
      return 0;
    default:
      return sendTableCommand(exchange, record, seconds);
  }
}

int switchOutlet(LinkContext& ctx, const Exchange& exchange, const CommandRecord* record,
                 int32_t argument) {
  const uint32_t index = static_cast<uint32_t>(argument) & 0xffff;
  const uint32_t state = static_cast<uint32_t>(argument) >> 16;
  if (ctx.protocolFamily != kFamilyQ1) {
    return sendTableCommand(exchange, record, static_cast<int32_t>(index + 10 * state));
  }
  char command[24];
  std::snprintf(command, sizeof command, state == 1 ? "O%02uON\r" : "O%02uOFF\r", index + 1);
  // The unit acknowledges with "#" once the outlet has switched.
  for (int attempt = 0; attempt < 5; ++attempt) {
    const std::string reply = send(exchange, command, kShortReply, kShortTimeoutMs);
    ctx.clock->sleepMs(1000);
    if (reply.starts_with('#')) break;
  }
  return 0;
}

}  // namespace

int executeUpsCommand(LinkContext& ctx, const ProtocolTables& tables, const Exchange& exchange,
                      uint32_t number, int32_t argument) {
  if (ctx.record == nullptr || ctx.clock == nullptr) return 1;
  const CommandRecord* command = findCommandByNumber(tables.group(4), number);
  switch (number) {
    case kCommandTest:
      return startTest(ctx, exchange, command, argument);
    case kCommandSwitchOff:
      return switchOff(ctx, exchange, command, argument);
    case kCommandRestoreTime:
      return restoreTime(ctx, exchange, command, argument);
    case kCommandOutlet:
      return switchOutlet(ctx, exchange, command, argument);
    default:
      return sendTableCommand(exchange, command, argument);
  }
}

}  // namespace orvik
