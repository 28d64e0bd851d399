// "ident.ini" in the program's folder: constant facts about UPS models that
// the UPS does not report itself. Two readers use it:
//
// - the fixed-reply lines at its top, "Input lines <0x00010044> <1>": the
//   first item names a field's whole variableId in hex (here 68.1), the
//   second is the reply of a table command that has no exchange;
// - the model sections: a "Version:" line with "1.1", then per protocol a
//   "Protocol:" line naming PROTOCOL1 (binary) or PROTOCOL2 ("Q1"), followed
//   by one entry a line: key 1, key 2, key 3, manufacturer, model, rated VA,
//   rated W, nominal battery voltage (0.1 V), model class (0 or 1).
//
// The file is read afresh on every lookup (it is small and looked up once
// per identification). Lines longer than 255 characters are cut there.
//
// Threads: the poll task's only.
#pragma once

#include <string>
#include <string_view>

#include "service/link/link_context.h"
#include "service/link/protocol_tables.h"

namespace orvik {

// Looks up the model given by up to three keys in the section of family (1
// or 2). An entry matches on key 1 alone when its keys 2 and 3 are empty, on
// keys 1 and 2 when its key 3 is empty, or on all three; the first match
// wins, and a line with fewer than three commas ends the section. On a match
// fills ctx.decoder.identEntry, sets modelKind to the entry's class and sets
// bit 8 of serviceFlags for class 0 (clears it for class 1); returns true.
// Without a readable file, a "1.1" version line, the section or a match,
// changes nothing and returns false.
bool identLookup(LinkContext& ctx, int family, std::string_view key1, std::string_view key2,
                 std::string_view key3);

// The fixed reply for a no-exchange command: the second item of the first
// line whose first item equals the variableId of one of record's fields.
// Reading stops at the first line without both items. Returns false when the
// file is missing or no line before that stop matches; a reply made up of
// an unrelated line would be decoded as if the UPS had said it.
bool identFixedReply(const std::string& identPath, const CommandRecord& record, std::string* reply);

}  // namespace orvik
