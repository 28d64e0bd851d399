// Which X display the sweep works on. The service runs outside the user's
// session, so it usually has no DISPLAY of its own; then "platform.ini"
// beside the program names it (Display=:0, and XAuthority= the cookie file
// when the display needs one), and failing that the display of a logged-in
// user is taken from the environment of one of that user's processes (an
// ordinary account's, not a system account's such as a login screen's).
#pragma once

#include <string>

namespace winsweep {

struct DisplayChoice {
  std::string display;     // empty: none found
  std::string xauthority;  // empty: leave XAUTHORITY as it is
};

// programDir ends without a slash; procRoot is "/proc" outside tests.
DisplayChoice findDisplay(const char* environmentDisplay, const std::string& programDir,
                          const std::string& procRoot);

}  // namespace winsweep
