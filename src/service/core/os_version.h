// The operating system classification several parts consult: below 256 the
// consumer (9x) family or an unlisted version, 256 or more the NT family,
// exactly 256 NT 3.x (no notification area).
#pragma once

#include <string>

#include "platform/system_info.h"

namespace orvik {

inline constexpr int kNtFamily = 256;

// 0 when the version cannot be queried.
int osVersionClass(SystemInfo& system);

// The folder part of a program path: up to and including its last "\", or
// failing that its last "/"; empty when it has neither. At most 259 characters.
std::string programDirectoryOf(const std::string& programFilePath);

}  // namespace orvik
