// One exchange for a command of the protocol's tables: send the command,
// read the reply, check that it is a reply to it, and decode it into the
// shared status record.
//
// Threads: the poll task's only.
#pragma once

#include "service/link/candidate_probe.h"
#include "service/link/link_context.h"
#include "service/link/protocol_tables.h"

namespace orvik {

class SerialLink;

// Replies of unknown length are read up to this many bytes.
inline constexpr int kUnknownReplyMaximum = 99;
// A "Q1" command is repeated until its reply starts with "(", this often in all.
inline constexpr int kQ1Sends = 8;

// Sends record with settings (its send kind says how; kind 6 records take
// their reply from the record itself or "ident.ini" instead of the line),
// validates the reply for ctx.protocolFamily and decodes it. 0 on success,
// 1 on failure; lastCommandFailed keeps the outcome, and a kind 6 record
// fails while it says the exchange before it failed.
//
// The reply is decoded as soon as the read has it complete, while the
// exchange still holds the line for its time-out; the call returns when the
// hold is over, so the pacing on the wire is that of whole transactions.
//
// Validation: binary replies must be whole 16-byte frames with plausible
// frequency bytes (a unit whose byte 9 reports bit 6 is taken as it is,
// without decoding); text replies must contain the first field's
// must-contain text and end with the last field's end marker, or have the
// exact expected length when the record gives no marker; and the reply
// prefix, when the record has one, must start the reply at the start
// column, in either case.
int executeTableCommand(SerialLink& link, const ProbeSettings& settings, LinkContext& ctx,
                        bool& lastCommandFailed, const CommandRecord& record);

}  // namespace orvik
