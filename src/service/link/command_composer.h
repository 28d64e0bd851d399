// Builds the bytes of a control command from its group 4 table record and
// an argument: the record's prefix and command, then each field's text
// written at its column, then a checksum byte (the exclusive-or of every
// byte after the first), which goes out only where the record's length
// covers it.
//
// Threads: any; pure.
#pragma once

#include <cstdint>
#include <string>

#include "service/link/protocol_tables.h"

namespace orvik {

// Fields with composePart 3 or 4 continue from what the fields before them
// left of the argument (minutes, then the seconds left over); the others
// start from the whole argument. Returns false, leaving command unchanged,
// when a value is outside its range or not one of its allowed values, or a
// field has no room.
bool composeTableCommand(const CommandRecord& record, int32_t argument, std::string* command);

}  // namespace orvik
