// The end of a battery test that the UPS never reports. Command 369 marks a
// test in progress (bit 23 of alarmFlags), and while it is set the decoder
// takes no notice of the on-battery status, since the test itself runs on
// battery. Only a decoded test result clears the bit; on a protocol whose
// tables poll no command that carries one (the model answers none, or its
// command lost its poll flag), the test counts as ended after a bounded time
// instead, so that a later power failure is seen.
//
// Threads: the poll task's only.
#pragma once

#include <cstdint>

#include "service/link/link_context.h"
#include "service/link/protocol_tables.h"

namespace orvik {

// A UPS's quick self-test switches to battery for about 10 s, and no common
// model takes as long as a minute. Two minutes cover that with room, and
// bound how late a power failure that begins during or just after the test
// is noticed, well within what a charged battery holds.
inline constexpr int64_t kUnreportedTestMs = 2 * 60 * 1000;

// True when a command of groups 1 to 3 with its poll flag set has a field
// of a test result (variables 27 and 80 to 84).
bool pollsTestResult(const ProtocolTables& tables);

// While bit 23 is set and the tables poll no test result: once
// kUnreportedTestMs have passed since ctx.testStartedMs, clears bit 23 and
// says in testResultsDetail that the UPS gave no result.
void endUnreportedTest(LinkContext& ctx, const ProtocolTables& tables);

}  // namespace orvik
