// Text from settings made safe for somebody else's terminal: nothing in it
// may move the cursor, retitle the window, remap keys or otherwise reach the
// terminal itself. Used by backends that write notices to login terminals.
#pragma once

#include <string>
#include <string_view>

namespace orvik {

// Drops escape sequences (ESC with what follows it: CSI, OSC and string
// controls up to their end, two- and three-byte sequences), the C1 controls
// raw or UTF-8 encoded (with the sequence they open), the other C0 controls
// but tab, and DEL. Line breaks ("\r\n", "\n" or "\r") become "\r\n" when
// multiline is set and a blank otherwise. Printable bytes, valid UTF-8 and
// bytes of single-byte codes from 0xA0 pass unchanged.
std::string terminalSafeText(std::string_view text, bool multiline);

}  // namespace orvik
