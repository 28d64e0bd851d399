#include "service/link/self_test_timeout.h"

#include "platform/clock.h"
#include "shared/record_access.h"
#include "shared/status_record.h"

namespace orvik {
namespace {

constexpr unsigned kTestInProgressBit = 23;

bool isTestResult(uint32_t variableId) {
  if (isConstantField(variableId)) return false;
  const uint32_t number = variableNumber(variableId);
  return number == 27 || (number >= 80 && number <= 84);
}

}  // namespace

bool pollsTestResult(const ProtocolTables& tables) {
  for (int g = 1; g <= 3; ++g) {
    for (int i = 1; const CommandRecord* command = tables.group(g).command(i); ++i) {
      if (command->pollEnabled == 0) continue;
      for (const FieldRecord& field : command->fields) {
        if (isTestResult(field.variableId)) return true;
      }
    }
  }
  return false;
}

void endUnreportedTest(LinkContext& ctx, const ProtocolTables& tables) {
  if (ctx.record == nullptr || ctx.clock == nullptr) return;
  StatusRecord& record = *ctx.record;
  if (((loadField(record.alarmFlags) >> kTestInProgressBit) & 1) == 0) return;
  if (ctx.clock->monotonicMs() - ctx.testStartedMs < kUnreportedTestMs) return;
  if (pollsTestResult(tables)) return;
  setText(record.testResultsDetail, "Test ended; the UPS reports no result");
  setFlagBit(record.alarmFlags, kTestInProgressBit, false);
}

}  // namespace orvik
