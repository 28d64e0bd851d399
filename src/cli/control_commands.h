// `orvik test`, `orvik outlet N on|off` and `orvik shutdown-cancel`: the
// control datagrams the pages and the scheduler send to the service (369
// with 1, 66145 as the Outlets page sends it, 386 with -1), each followed by
// a look at the record for a while to say what came of it where the record
// can tell.
#pragma once

#include "cli/cli.h"
#include "cli/cli_options.h"
#include "cli/record_source.h"

namespace orvik {

inline constexpr int kTestWaitMs = 5000;
inline constexpr int kOutletWaitMs = 10000;
inline constexpr int kCancelWaitMs = 5000;
inline constexpr int kRecordLookMs = 100;

// Exit status; the live record is the service's, looked at while waiting.
int runControlCommand(const CliOptions& options, const LiveRecord& live, CliEnvironment& env);

}  // namespace orvik
