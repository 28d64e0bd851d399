// Control commands for the UPS (battery test, switch-off with restore time,
// outlets, settings), given as a command number and an argument by the
// control channel and run by the poll task between poll exchanges. A few
// have formats of their own per protocol family; all others are composed
// from the protocol's group 4 table. Replies are read and discarded; the
// settings a command changes are read back by the next pass over group 3.
//
// Threads: the poll task's only.
#pragma once

#include <cstdint>
#include <functional>

#include "service/link/link_context.h"
#include "service/link/protocol_tables.h"

namespace orvik {

inline constexpr uint32_t kCommandTest = 369;
inline constexpr uint32_t kCommandShutdownType = 385;
inline constexpr uint32_t kCommandSwitchOff = 386;    // argument: delay in seconds; -1 cancels
inline constexpr uint32_t kCommandRestoreTime = 387;  // argument: seconds; -1 none
inline constexpr uint32_t kCommandCrSetting = 388;
inline constexpr uint32_t kCommandAutoRestart = 389;
inline constexpr uint32_t kCommandLowBatteryWarning = 407;
inline constexpr uint32_t kCommandAudible = 408;
inline constexpr uint32_t kCommandLowTransfer = 409;
inline constexpr uint32_t kCommandHighTransfer = 410;
inline constexpr uint32_t kCommandReopenPort = 4118;  // handled by the poll cycle itself
inline constexpr uint32_t kCommandBatterySetting = 4132;
// Argument: bits 0-15 the outlet index from 0, bits 16-31 the state (1 on, 0 off).
inline constexpr uint32_t kCommandOutlet = 66145;

// One exchange on the UPS line, bound by the poll cycle to the serial
// layer's transaction: sends count bytes (none when count is 0; the line is
// still flushed, settled and read), pausing interByteDelayMs between bytes
// and settleMs before reading; then reads into reply at most maxLength bytes,
// up to and including the byte terminator (-1: none), or until timeoutMs
// pass, and sets *replyCount to the bytes read. reply holds maxLength bytes.
// The result is the serial layer's status, which commands do not use.
using Exchange =
    std::function<int(const uint8_t* bytes, int count, int interByteDelayMs, int settleMs,
                      char* reply, int* replyCount, int terminator, int maxLength, int timeoutMs)>;

// Runs one control command for ctx.protocolFamily with the tables in use.
// Returns 0 when the command was sent or only remembered (a restore time
// waits for the next switch-off), 1 when the tables have no such command or
// a value is not allowed; nothing is sent then. Command 369 also marks a
// test in progress in the record (summary 5, testStartTicks, bit 23).
int executeUpsCommand(LinkContext& ctx, const ProtocolTables& tables, const Exchange& exchange,
                      uint32_t number, int32_t argument);

}  // namespace orvik
