// Turns a validated UPS reply into fields of the shared status record.
// decodeReply walks a command record's fields, cuts each one out of the
// reply, converts and checks it, and hands the value text to storeVariable,
// which writes it according to the field's variable number: plain scaled
// numbers, status bits of alarmFlags and the status codes derived from
// them, and a few derived values (nominal values, battery charge and run
// time, the model from "ident.ini").
//
// Replies are external input. Nothing here reads outside the reply given:
// a field whose first column lies beyond the reply is skipped, one that
// starts inside it is cut where the reply ends.
//
// Threads: the poll task's only; the record is written through
// record_access.h while others read it.
#pragma once

#include <cstdint>
#include <string_view>

#include "service/link/link_context.h"
#include "service/link/protocol_tables.h"

namespace orvik {

// text: the reply from the record's startColumn on; reply: the whole reply
// (the binary rules read its bytes by position). Returns 0, or 1 when a
// field's width works out below 0 or above 63 characters (a missing end
// marker); decoding then stops at that field, and the fields before it stay
// stored.
int decodeReply(LinkContext& ctx, std::string_view text, const CommandRecord& record,
                std::string_view reply);

// Stores one value text under variableId (number and sub-index; a variable
// the system does not know is ignored). field supplies the scale, the check
// mode and the value table.
void storeVariable(LinkContext& ctx, std::string_view valueText, const FieldRecord& field,
                   uint32_t variableId, std::string_view reply);

}  // namespace orvik
