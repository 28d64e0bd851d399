// Comparisons of window titles and class names: ASCII letters match either
// case, every other byte must be equal (titles may be in any encoding).
#pragma once

#include <cstddef>

namespace winsweep {

bool equalsIgnoringCase(const char* a, const char* b);
bool startsWithIgnoringCase(const char* text, const char* prefix);

}  // namespace winsweep
