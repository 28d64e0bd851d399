// Names users type compared without the case of their ASCII letters: host
// names, "broadcast", a locale's name, a reply's fixed prefix.
#pragma once

#include <string_view>

namespace orvik {

bool equalsIgnoringCase(std::string_view a, std::string_view b);
bool startsWithIgnoringCase(std::string_view text, std::string_view prefix);

}  // namespace orvik
