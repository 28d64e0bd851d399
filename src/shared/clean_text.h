// Text from the status record made fit to show: record texts are bytes in
// whatever code page their writer used, and a record may hold anything.
#pragma once

#include <string>
#include <string_view>

namespace orvik {

// Valid UTF-8 without control characters, whatever the input: valid UTF-8
// sequences stay; other bytes from 0xA0 are read as Latin-1 (the usual code
// page of such texts) and re-encoded; control characters (C0, DEL and
// encoded C1) are dropped, so nothing can reach a terminal's controls; the
// other bytes (raw 0x80 to 0x9F) become "?". Safe in a JSON string or a metric label once
// quotes and backslashes are escaped.
std::string cleanText(std::string_view bytes);

}  // namespace orvik
